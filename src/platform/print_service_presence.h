#pragma once
// Whether the print service runs for this user. While it runs it holds a lock
// on a file beside the journal that keeps its queue: the designer learns
// from it without asking over the network, and a second service on the same
// journal (which would print the same queue twice) refuses to start.

#include <string>

namespace ordavel {

// "print-service.lock" in the journal's folder.
std::string servicePresencePath(const std::string& journalPath);

class ServicePresence {
public:
    ServicePresence() = default;
    ~ServicePresence();
    ServicePresence(const ServicePresence&) = delete;
    ServicePresence& operator=(const ServicePresence&) = delete;

    // Takes the lock for this process; false with `error` when another
    // service holds it or the file cannot be made.
    bool take(const std::string& journalPath, std::string& error);

private:
    int m_fd = -1;
};

// Whether a service holds the lock for the journal at `journalPath`.
bool serviceRuns(const std::string& journalPath);

} // namespace ordavel
