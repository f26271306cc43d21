#include "service/service_system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::service::service_system {

namespace {

// $VARIABLE when it is an absolute path, else ~/FALLBACK.
std::string xdgFolder(const char* variable, const char* fallback)
{
    if (const char* set = std::getenv(variable); set != nullptr && set[0] == '/')
        return set;
    if (const char* home = std::getenv("HOME"); home != nullptr)
        return std::string(home) + "/" + fallback;
    return fallback;
}

} // namespace

std::string defaultTokenFile() { return xdgFolder("XDG_CONFIG_HOME", ".config") + "/ordavel/service.ini"; }

std::string defaultTemplatesFolder() { return xdgFolder("XDG_DATA_HOME", ".local/share") + "/ordavel/templates"; }

long long fileStamp(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec
        + static_cast<long long>(info.st_size) * 7 + static_cast<long long>(info.st_ino);
}

std::string writePrivateFile(const std::string& path, const std::string& bytes)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return "cannot write " + temporary + ": " + std::strerror(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(temporary.c_str());
            return "cannot write " + temporary + ": " + why;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temporary.c_str());
        return "cannot write " + path + ": " + why;
    }
    return {};
}

bool randomBytes(unsigned char* out, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::getrandom(out + got, size - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace ordavel::service::service_system
