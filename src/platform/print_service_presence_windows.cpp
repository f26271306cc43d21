#include "platform/print_service_presence.h"

#include "file/wide_names_windows.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

namespace ordavel {

// The lock is the file's sharing mode: the service keeps it open denying
// writers, so that an opening for writing fails while (and only while) the
// service's process lives; Windows closes it with the process however that ends.

std::string servicePresencePath(const std::string& journalPath)
{
    const auto slash = journalPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : journalPath.substr(0, slash + 1)) + "print-service.lock";
}

ServicePresence::~ServicePresence()
{
    if (m_fd >= 0)
        ::_close(m_fd);
}

bool ServicePresence::take(const std::string& journalPath, std::string& error)
{
    const std::string path = servicePresencePath(journalPath);
    int fd = -1;
    const errno_t failed = ::_wsopen_s(&fd, wideFromUtf8(path).c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                                       _SH_DENYWR, _S_IREAD | _S_IWRITE);
    if (failed != 0) {
        error = failed == EACCES ? "another print service already serves the journal " + journalPath
                                 : "cannot open " + path + ": " + std::strerror(failed);
        return false;
    }
    if (m_fd >= 0)
        ::_close(m_fd);
    m_fd = fd;
    return true;
}

bool serviceRuns(const std::string& journalPath)
{
    int fd = -1;
    const errno_t failed = ::_wsopen_s(&fd, wideFromUtf8(servicePresencePath(journalPath)).c_str(),
                                       _O_RDWR | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    if (failed == 0) {
        ::_close(fd);
        return false;
    }
    return failed == EACCES;
}

} // namespace ordavel
