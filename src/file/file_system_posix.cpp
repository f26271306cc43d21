// The POSIX system calls of the file functions; what both systems share is in
// file_system.cpp.
#include "file/file_system.h"
#include "file/file_system_calls.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

std::atomic<std::uint64_t> g_replaceCounter{0};

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

} // namespace

int file_system_calls::writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

namespace {

FileStatus failure(FileFault fault, int code) { return FileStatus{fault, code}; }

// What a regular file check says about a file's stat data.
FileStatus checkKind(const struct stat& info, std::uintmax_t maxBytes)
{
    if (S_ISDIR(info.st_mode))
        return failure(FileFault::IsFolder, EISDIR);
    if (!S_ISREG(info.st_mode) || info.st_size < 0)
        return failure(FileFault::NotAFile, 0);
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return failure(FileFault::TooLarge, EFBIG);
    return {};
}

// The file a save to `path` replaces: `path` itself, or where its symbolic
// link (or chain of links) ends.
FileStatus resolveSaveTarget(const std::string& path, std::string& target)
{
    target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return {};
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        const int code = errno;
        return code == ENOENT ? failure(FileFault::BrokenLink, code) : FileStatus::fromSystemError(code);
    }
    target = resolved;
    std::free(resolved);
    return {};
}

} // namespace

FileStatus FileStatus::fromSystemError(int code)
{
    switch (code) {
    case 0:
        return {};
    case ENOENT:
        return failure(FileFault::Missing, code);
    case ENOTDIR:
        return failure(FileFault::NoFolder, code);
    case EISDIR:
        return failure(FileFault::IsFolder, code);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return failure(FileFault::PermissionDenied, code);
    case ENOSPC:
    case EDQUOT:
        return failure(FileFault::DiskFull, code);
    case EFBIG:
        return failure(FileFault::TooLarge, code);
    case ENAMETOOLONG:
        return failure(FileFault::NameTooLong, code);
    default:
        return failure(FileFault::Other, code);
    }
}

std::optional<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes, FileStatus* status)
{
    FileStatus ignored;
    FileStatus& result = status ? *status : ignored;
    result = {};
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        result = FileStatus::fromSystemError(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result = FileStatus::fromSystemError(errno);
        return std::nullopt;
    }
    if (result = checkKind(info, maxBytes); !result.ok())
        return std::nullopt;

    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t used = 0;
    while (used < content.size()) {
        const ssize_t n = ::read(file.get(), content.data() + used, content.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result = FileStatus::fromSystemError(errno);
            return std::nullopt;
        }
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
        if (n < 0) {
            result = FileStatus::fromSystemError(errno);
            return std::nullopt;
        }
        if (n == 0)
            return content;
        if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
            result = failure(FileFault::TooLarge, EFBIG);
            return std::nullopt;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
}

FileStatus checkReadableFile(const std::string& path, std::uintmax_t maxBytes)
{
    // Looked at before opening: opening a device may already do something.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return FileStatus::fromSystemError(errno);
    if (const FileStatus kind = checkKind(info, maxBytes); !kind.ok())
        return kind;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return FileStatus::fromSystemError(errno);
    if (::fstat(file.get(), &info) != 0)
        return FileStatus::fromSystemError(errno);
    return checkKind(info, maxBytes);
}

FileReplacement::FileReplacement(const std::string& path) : m_status(start(path)) {}

FileStatus FileReplacement::start(const std::string& path)
{
    if (path.empty())
        return failure(FileFault::Missing, ENOENT);
    if (const FileStatus link = resolveSaveTarget(path, m_target); !link.ok())
        return link;

    struct stat old {};
    const bool exists = ::stat(m_target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return FileStatus::fromSystemError(errno);
    if (exists) {
        if (S_ISDIR(old.st_mode))
            return failure(FileFault::IsFolder, EISDIR);
        if (!S_ISREG(old.st_mode))
            return failure(FileFault::NotAFile, 0);
        // The rename would replace a file we may not write (its folder allowing it): refuse.
        if (::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
            return FileStatus::fromSystemError(errno);
    }

    namespace fs = std::filesystem;
    const fs::path targetPath(m_target);
    const std::string base = targetPath.filename().string();
    if (base.empty() || base == "." || base == "..")
        return failure(FileFault::IsFolder, EISDIR);
    const fs::path folder = targetPath.parent_path().empty() ? fs::path(".") : targetPath.parent_path();
    m_folder = folder.string();

    // A short hidden name, whatever the length of the file's own name; O_EXCL
    // so that no other file is reused.
    const std::string stem = "." + hex(static_cast<std::uint64_t>(::getpid())) + ".";
    for (int i = 0; i < kMaxNameTries && m_fd < 0; ++i) {
        m_tempPath = (folder / (stem + hex(++g_replaceCounter) + ".tmp")).string();
        m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) {
            const int code = errno;
            m_tempPath.clear();
            return code == ENOENT ? failure(FileFault::NoFolder, code) : FileStatus::fromSystemError(code);
        }
    }
    if (m_fd < 0) {
        m_tempPath.clear();
        return failure(FileFault::Other, EEXIST);
    }
    if (exists) {
        // Best effort: only the owner's own groups or root may hand a file on.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(m_fd, old.st_uid, old.st_gid);
        (void)::fchmod(m_fd, old.st_mode & 07777);
    }
    return {};
}

FileReplacement::~FileReplacement() { abandon(); }

void FileReplacement::abandon()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

FileStatus FileReplacement::commit()
{
    if (m_fd < 0) {
        if (m_status.ok())
            m_status = failure(FileFault::Other, EBADF); // committed or abandoned before
        return m_status;
    }
    const auto giveUp = [this](int code) {
        abandon();
        m_status = FileStatus::fromSystemError(code);
        return m_status;
    };
    // Data a producer wrote through its own descriptor is flushed with this
    // one: fsync flushes the file, whichever descriptor names it.
    if (::fsync(m_fd) != 0)
        return giveUp(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return giveUp(errno);
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return giveUp(errno);
    m_tempPath.clear();

    // Make the rename itself durable; a failure here no longer affects the result.
    FileDescriptor dir(::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    m_status = {};
    return m_status;
}

FileStatus createNewFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return FileStatus::fromSystemError(errno);
    ::close(fd);
    return {};
}

bool nameTaken(const FileStatus& status) { return status.systemError == EEXIST; }

std::string file_system_calls::errorText(int code) { return std::strerror(code); }

bool file_system_calls::isReadOnlyVolume(int code) { return code == EROFS; }

bool file_system_calls::isInUse(int) { return false; }

bool file_system_calls::isQuotaExceeded(int code) { return code == EDQUOT; }

void removeFileQuietly(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace ordavel
