#include "platform/print_service_presence.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ordavel {

std::string servicePresencePath(const std::string& journalPath)
{
    const auto slash = journalPath.rfind('/');
    return (slash == std::string::npos ? std::string() : journalPath.substr(0, slash + 1)) + "print-service.lock";
}

ServicePresence::~ServicePresence()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with the descriptor, and with the process
}

bool ServicePresence::take(const std::string& journalPath, std::string& error)
{
    const std::string path = servicePresencePath(journalPath);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    // A lock of the open file (not of the process), so that whoever looks,
    // in this process or another, sees it without taking a lock itself.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        error = errno == EAGAIN || errno == EACCES ? "another print service already serves the journal " + journalPath
                                                   : "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return true;
}

bool serviceRuns(const std::string& journalPath)
{
    const int fd = ::open(servicePresencePath(journalPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

} // namespace ordavel
