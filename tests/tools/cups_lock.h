#pragma once
// The CUPS tests start and stop a scheduler of their own; ctest may run them
// side by side, so each holds this machine-wide lock while it uses CUPS.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ordavel::test {

class CupsLock {
public:
    CupsLock() : m_fd(::open("/tmp/ordavel-cups-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666))
    {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~CupsLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CupsLock(const CupsLock&) = delete;
    CupsLock& operator=(const CupsLock&) = delete;

private:
    int m_fd;
};

} // namespace ordavel::test
