#include "file/picture.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel {

namespace {

// Retries before giving up on finding a free temporary name; each step means
// a file of that name already existed.
constexpr int kMaxNameTries = 100000;

std::atomic<std::uint64_t> g_tempCounter{0};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; false when close reports an error (a write may be lost).
    bool reset()
    {
        if (m_fd < 0)
            return true;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string hex(std::uint64_t value)
{
    char buffer[17];
    const int n = std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(value));
    return std::string(buffer, static_cast<std::size_t>(n));
}

bool writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool fail(std::string* error, const std::string& what, int code)
{
    if (error)
        *error = what + ": " + std::strerror(code);
    return false;
}

} // namespace

std::string pictureExtension(std::string_view bytes)
{
    const std::string_view head = bytes.substr(0, 32);
    std::string extension;
    if (head.find("JFIF") != std::string_view::npos)
        extension = "jpg";
    if (head.find("GIF89a") != std::string_view::npos)
        extension = "gif";
    if (head.substr(0, 2) == "BM")
        extension = "bmp";
    return extension;
}

std::string createBackgroundTempFile()
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec)
        return {};
    const auto tick = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    std::uint64_t number = static_cast<std::uint64_t>(tick.count()) + ++g_tempCounter;
    for (int i = 0; i < kMaxNameTries; ++i, ++number) {
        const std::string path = (folder / (hex(number) + ".tmp")).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

std::optional<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return std::nullopt;

    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t used = 0;
    while (used < content.size()) {
        const ssize_t n = ::read(file.get(), content.data() + used, content.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    content.resize(used);
    if (used < static_cast<std::size_t>(info.st_size))
        return content; // shrank while being read: what is there is the file

    // It may have grown since fstat: take the rest, within the limit.
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return content;
        if (content.size() + static_cast<std::size_t>(n) > maxBytes)
            return std::nullopt;
        content.append(chunk, static_cast<std::size_t>(n));
    }
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error)
{
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const std::string base = target.filename().string();
    if (base.empty() || base == "." || base == "..")
        return fail(error, "not a file name", EINVAL);

    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;

    // A hidden sibling with a unique suffix; O_EXCL so that no other file is reused.
    std::string tempPath;
    int fd = -1;
    for (int i = 0; i < kMaxNameTries && fd < 0; ++i) {
        tempPath = (folder / ("." + base + "." + std::to_string(::getpid()) + "." + hex(++g_tempCounter) + ".tmp")).string();
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(error, "cannot create a temporary file", errno);
    }
    if (fd < 0)
        return fail(error, "cannot create a temporary file", EEXIST);
    FileDescriptor file(fd);

    auto abandon = [&](const std::string& what, int code) {
        file.reset();
        ::unlink(tempPath.c_str());
        return fail(error, what, code);
    };
    if (exists && S_ISREG(old.st_mode))
        (void)::fchmod(file.get(), old.st_mode & 07777); // best effort
    if (!writeAll(file.get(), bytes))
        return abandon("cannot write", errno);
    if (::fsync(file.get()) != 0)
        return abandon("cannot flush", errno);
    if (!file.reset())
        return abandon("cannot close", errno);
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return abandon("cannot replace the file", errno);

    // Make the rename itself durable; a failure here no longer affects the result.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

void removeFileQuietly(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace ordavel
