#pragma once
// How the print service is asked to stop while it runs in the foreground:
// SIGTERM or SIGINT on Linux, Ctrl+C, Ctrl+Break or the console closing on
// Windows (a service started windowless has no console and is ended by its
// user's log-off or by taskkill; the journal keeps what it had accepted).
// stop_request.cpp is the POSIX version, stop_request_windows.cpp the Windows one.

namespace ordavel::cli {

class StopRequest {
public:
    // Takes the stop requests for this process; on Linux before any thread
    // starts, so that every thread inherits the blocked signals.
    StopRequest();
    // Blocks until a stop is asked for.
    void wait();
};

} // namespace ordavel::cli
