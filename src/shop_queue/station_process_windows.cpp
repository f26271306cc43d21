#include "shop_queue/station_process.h"

#include <chrono>
#include <winsock2.h>
#include <windows.h>

namespace ordavel::service {

std::string holderName(const std::string& station)
{
    // The computer's NetBIOS name: gethostname would need winsock started first.
    wchar_t wide[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    std::string host;
    if (GetComputerNameW(wide, &length) != 0) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        host.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), host.data(), bytes, nullptr, nullptr);
    }
    const auto started = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return station + " pid " + std::to_string(GetCurrentProcessId()) + "@" + host + " " + std::to_string(started);
}

bool waitReadable(int socket, int milliseconds)
{
    if (socket < 0)
        return false;
    // libpq hands out its SOCKET as an int; winsock's select ignores its first argument.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(socket), &readable);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &wait) > 0;
}

} // namespace ordavel::service
