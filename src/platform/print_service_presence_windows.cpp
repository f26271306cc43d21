#include "platform/print_service_presence.h"

namespace ordavel {

// The print service speaks to CUPS and runs on Linux only.
std::string servicePresencePath(const std::string& journalPath)
{
    const auto slash = journalPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : journalPath.substr(0, slash + 1)) + "print-service.lock";
}

ServicePresence::~ServicePresence() = default;

bool ServicePresence::take(const std::string&, std::string& error)
{
    error = "the print service does not run on Windows";
    return false;
}

bool serviceRuns(const std::string&) { return false; }

} // namespace ordavel
