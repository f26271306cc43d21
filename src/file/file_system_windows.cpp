// The Windows system calls of the file functions: the wide-character (UTF-16)
// file API throughout, so that names in any script work; the program's paths
// are UTF-8. System error codes are those of GetLastError. What both systems
// share is in file_system.cpp.
#include "file/file_system.h"
#include "file/file_system_calls.h"
#include "file/wide_names_windows.h"

#include <atomic>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace ordavel {

namespace {

constexpr int kMaxNameTries = 100000;
// The longest name of one folder entry, in UTF-16 units.
constexpr std::size_t kMaxComponent = 255;

std::atomic<std::uint64_t> g_replaceCounter{0};

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string hex(std::uint64_t value)
{
    char buffer[17];
    const int n = std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(value));
    return std::string(buffer, static_cast<std::size_t>(n));
}

FileStatus failure(FileFault fault, int code) { return FileStatus{fault, code}; }
FileStatus lastError() { return FileStatus::fromSystemError(static_cast<int>(::GetLastError())); }

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A UTF-8 path as UTF-16, or why it cannot be one.
FileStatus widen(const std::string& path, std::wstring& wide)
{
    if (path.empty())
        return failure(FileFault::Missing, ERROR_FILE_NOT_FOUND);
    wide = wideFromUtf8(path);
    if (wide.empty())
        return failure(FileFault::Other, ERROR_NO_UNICODE_TRANSLATION);
    std::size_t run = 0;
    for (wchar_t c : wide) {
        run = isSeparator(c) ? 0 : run + 1;
        if (run > kMaxComponent)
            return failure(FileFault::NameTooLong, ERROR_FILENAME_EXCED_RANGE);
    }
    return {};
}

// What kind of file an open handle names, for a reader or writer of regular files.
FileStatus checkHandle(HANDLE file, std::uintmax_t maxBytes, std::uintmax_t* size = nullptr)
{
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return failure(FileFault::NotAFile, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return lastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return failure(FileFault::IsFolder, ERROR_DIRECTORY);
    const std::uintmax_t bytes = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (bytes > maxBytes)
        return failure(FileFault::TooLarge, ERROR_FILE_TOO_LARGE);
    if (size)
        *size = bytes;
    return {};
}

// Opens an existing file for reading, following links; a folder is refused
// before it is opened (opening one needs other flags and reads nothing).
FileStatus openForReading(const std::wstring& wide, HANDLE& file)
{
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return failure(FileFault::IsFolder, ERROR_DIRECTORY);
    file = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        // A link whose target is gone answers "not found" although its own name exists.
        if ((code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) && attributes != INVALID_FILE_ATTRIBUTES
            && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return failure(FileFault::BrokenLink, static_cast<int>(code));
        return FileStatus::fromSystemError(static_cast<int>(code));
    }
    return {};
}

// The file a save to `path` replaces: `path` itself, or where its symbolic
// link (or chain of links) ends. ReplaceFileW on a link would replace the link.
FileStatus resolveSaveTarget(const std::wstring& path, std::wstring& target)
{
    target = path;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    Handle file(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                   ? failure(FileFault::BrokenLink, static_cast<int>(code))
                   : FileStatus::fromSystemError(static_cast<int>(code));
    }
    const DWORD n = ::GetFinalPathNameByHandleW(file.get(), nullptr, 0, FILE_NAME_NORMALIZED);
    if (n == 0)
        return lastError();
    std::wstring resolved(n, L'\0');
    const DWORD used = ::GetFinalPathNameByHandleW(file.get(), resolved.data(), n, FILE_NAME_NORMALIZED);
    if (used == 0 || used >= n)
        return lastError();
    resolved.resize(used);
    // "\\?\C:\..." and "\\?\UNC\server\..." back to the names users write.
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0 && resolved.size() > 6 && resolved[5] == L':')
        resolved = resolved.substr(4);
    target = resolved;
    return {};
}

std::wstring folderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return L".";
    if (slash == 0 || (slash == 2 && path[1] == L':'))
        return path.substr(0, slash + 1); // the root of a drive
    return path.substr(0, slash);
}

std::wstring baseOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A temporary name beside `target` that no file has yet, created and open.
// The name is short and starts with a dot whatever the target's length.
HANDLE createTemporary(const std::wstring& folder, const wchar_t* extension, std::wstring& name, FileStatus& status)
{
    const std::wstring stem = L"." + wideFromUtf8(hex(::GetCurrentProcessId())) + L".";
    const std::wstring joint = isSeparator(folder.back()) ? L"" : L"\\";
    for (int i = 0; i < kMaxNameTries; ++i) {
        name = folder + joint + stem + wideFromUtf8(hex(++g_replaceCounter)) + extension;
        HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            status = code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND
                         ? failure(FileFault::NoFolder, static_cast<int>(code))
                         : FileStatus::fromSystemError(static_cast<int>(code));
            name.clear();
            return INVALID_HANDLE_VALUE;
        }
    }
    status = failure(FileFault::Other, ERROR_FILE_EXISTS);
    name.clear();
    return INVALID_HANDLE_VALUE;
}

std::string systemText(int code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                         | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                     reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(code) : utf8FromWide(text);
}

} // namespace

FileStatus FileStatus::fromSystemError(int code)
{
    switch (static_cast<DWORD>(code)) {
    case 0:
        return {};
    case ERROR_FILE_NOT_FOUND:
        return failure(FileFault::Missing, code);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return failure(FileFault::NoFolder, code);
    case ERROR_DIRECTORY:
        return failure(FileFault::IsFolder, code);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return failure(FileFault::PermissionDenied, code);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_QUOTA_EXCEEDED:
        return failure(FileFault::DiskFull, code);
    case ERROR_FILE_TOO_LARGE:
        return failure(FileFault::TooLarge, code);
    case ERROR_FILENAME_EXCED_RANGE:
        return failure(FileFault::NameTooLong, code);
    default:
        return failure(FileFault::Other, code);
    }
}

std::optional<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes, FileStatus* status)
{
    FileStatus ignored;
    FileStatus& result = status ? *status : ignored;
    std::wstring wide;
    if (result = widen(path, wide); !result.ok())
        return std::nullopt;
    HANDLE raw = INVALID_HANDLE_VALUE;
    if (result = openForReading(wide, raw); !result.ok())
        return std::nullopt;
    Handle file(raw);
    std::uintmax_t size = 0;
    if (result = checkHandle(file.get(), maxBytes, &size); !result.ok())
        return std::nullopt;

    // Read to the end, within the limit: the file may grow while it is read.
    std::string content;
    content.reserve(static_cast<std::size_t>(size));
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), chunk, sizeof chunk, &n, nullptr)) {
            result = lastError();
            return std::nullopt;
        }
        if (n == 0)
            return content;
        if (content.size() + n > maxBytes) {
            result = failure(FileFault::TooLarge, ERROR_FILE_TOO_LARGE);
            return std::nullopt;
        }
        content.append(chunk, n);
    }
}

FileStatus checkReadableFile(const std::string& path, std::uintmax_t maxBytes)
{
    std::wstring wide;
    if (const FileStatus name = widen(path, wide); !name.ok())
        return name;
    HANDLE raw = INVALID_HANDLE_VALUE;
    if (const FileStatus opened = openForReading(wide, raw); !opened.ok())
        return opened;
    Handle file(raw);
    return checkHandle(file.get(), maxBytes);
}

FileReplacement::FileReplacement(const std::string& path) : m_status(start(path)) {}

FileStatus FileReplacement::start(const std::string& path)
{
    std::wstring wide;
    if (const FileStatus name = widen(path, wide); !name.ok())
        return name;
    std::wstring target;
    if (const FileStatus link = resolveSaveTarget(wide, target); !link.ok())
        return link;

    if (isSeparator(target.back()))
        return failure(FileFault::IsFolder, ERROR_DIRECTORY);
    const std::wstring base = baseOf(target);
    if (base.empty() || base == L"." || base == L"..")
        return failure(FileFault::IsFolder, ERROR_DIRECTORY);

    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_PATH_NOT_FOUND)
            return failure(FileFault::NoFolder, static_cast<int>(code));
        if (code != ERROR_FILE_NOT_FOUND)
            return FileStatus::fromSystemError(static_cast<int>(code));
    } else {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return failure(FileFault::IsFolder, ERROR_DIRECTORY);
        // ReplaceFileW would replace a read-only file its folder lets us
        // rename: refuse it as the file's owner asked.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return failure(FileFault::PermissionDenied, ERROR_ACCESS_DENIED);
        // May we write it at all (its access list, another program's lock), and is it a disk file?
        Handle probe(::CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid())
            return lastError();
        if (::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return failure(FileFault::NotAFile, 0);
    }

    m_target = utf8FromWide(target);
    const std::wstring folder = folderOf(target);
    m_folder = utf8FromWide(folder);
    std::wstring temporary;
    FileStatus made;
    HANDLE h = createTemporary(folder, L".tmp", temporary, made);
    if (h == INVALID_HANDLE_VALUE)
        return made;
    // The C library's descriptor owns the handle from here on.
    m_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_RDWR);
    if (m_fd < 0) {
        ::CloseHandle(h);
        ::DeleteFileW(temporary.c_str());
        return failure(FileFault::Other, ERROR_TOO_MANY_OPEN_FILES);
    }
    m_tempPath = utf8FromWide(temporary);
    return {};
}

FileReplacement::~FileReplacement() { abandon(); }

void FileReplacement::abandon()
{
    if (m_fd >= 0)
        ::_close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty())
        ::DeleteFileW(wideFromUtf8(m_tempPath).c_str());
    m_tempPath.clear();
}

FileStatus FileReplacement::commit()
{
    if (m_fd < 0) {
        if (m_status.ok())
            m_status = failure(FileFault::Other, ERROR_INVALID_HANDLE); // committed or abandoned before
        return m_status;
    }
    const auto giveUp = [this](DWORD code) {
        abandon();
        m_status = FileStatus::fromSystemError(static_cast<int>(code));
        return m_status;
    };
    // Data a producer wrote by name through a handle of its own is flushed
    // with this one: the flush is of the file, whichever handle names it.
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(m_fd));
    if (!::FlushFileBuffers(h))
        return giveUp(::GetLastError());
    const int fd = m_fd;
    m_fd = -1;
    if (::_close(fd) != 0)
        return giveUp(ERROR_WRITE_FAULT);

    const std::wstring temporary = wideFromUtf8(m_tempPath);
    const std::wstring target = wideFromUtf8(m_target);
    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // A new file: a plain rename, written through before it returns.
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return giveUp(::GetLastError());
    } else {
        // The old file goes to a backup name first, so that whichever step
        // fails, the old content is still there under its own name.
        std::wstring backup;
        FileStatus made;
        HANDLE b = createTemporary(wideFromUtf8(m_folder), L".bak", backup, made);
        if (b == INVALID_HANDLE_VALUE)
            return giveUp(static_cast<DWORD>(made.systemError));
        ::CloseHandle(b);
        if (!::ReplaceFileW(target.c_str(), temporary.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr)) {
            const DWORD code = ::GetLastError();
            // The replacement did not take the name: the old file is at the backup name.
            if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
                ::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            ::DeleteFileW(backup.c_str());
            return giveUp(code);
        }
        ::DeleteFileW(backup.c_str());
    }
    m_tempPath.clear();
    m_status = {};
    return m_status;
}

FileStatus createNewFile(const std::string& path)
{
    std::wstring wide;
    if (const FileStatus name = widen(path, wide); !name.ok())
        return name;
    Handle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    return file.valid() ? FileStatus{} : lastError();
}

bool nameTaken(const FileStatus& status)
{
    return status.systemError == ERROR_FILE_EXISTS || status.systemError == ERROR_ALREADY_EXISTS;
}

void removeFileQuietly(const std::string& path)
{
    const std::wstring wide = wideFromUtf8(path);
    if (!wide.empty())
        ::DeleteFileW(wide.c_str());
}

std::string file_system_calls::errorText(int code) { return systemText(code); }

bool file_system_calls::isReadOnlyVolume(int code) { return code == ERROR_WRITE_PROTECT; }

bool file_system_calls::isInUse(int code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

bool file_system_calls::isQuotaExceeded(int code) { return code == ERROR_DISK_QUOTA_EXCEEDED; }

int file_system_calls::writeAll(int descriptor, std::string_view bytes)
{
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD step = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::WriteFile(h, p, step, &n, nullptr) || n == 0)
            return static_cast<int>(n == 0 && ::GetLastError() == 0 ? ERROR_DISK_FULL : ::GetLastError());
        p += n;
        left -= n;
    }
    return 0;
}

} // namespace ordavel
