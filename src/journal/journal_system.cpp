#include "journal/journal_system.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace ordavel::journal_system {

std::string userName()
{
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    if (const char* name = std::getenv("USER"))
        return name;
    return std::to_string(getuid());
}

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

long processId() { return static_cast<long>(getpid()); }

std::string defaultJournalPath()
{
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
        base = data;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = std::string(home) + "/.local/share";
    else
        base = "/tmp";
    return base + "/ordavel/journal.sqlite";
}

bool processRuns(long pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool diskFull(const std::string& folder)
{
    struct statvfs space {};
    return ::statvfs(folder.c_str(), &space) == 0 && space.f_bavail == 0;
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

} // namespace ordavel::journal_system
