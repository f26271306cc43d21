#include "stop_request.h"

#include <windows.h>

namespace ordavel::cli {

namespace {

// A manual-reset event: set once, every wait returns.
HANDLE stopEvent()
{
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleEvent(DWORD)
{
    ::SetEvent(stopEvent());
    // The console's close and log-off events end the process once this
    // returns: a little time for the service to stop after the page it draws.
    ::Sleep(2000);
    return TRUE;
}

} // namespace

StopRequest::StopRequest()
{
    (void)stopEvent();
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void StopRequest::wait() { ::WaitForSingleObject(stopEvent(), INFINITE); }

} // namespace ordavel::cli
