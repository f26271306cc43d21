// The file functions' logic that both systems share; the system calls are
// in file_system_posix.cpp and file_system_windows.cpp.
#include "file/file_system.h"
#include "file/file_system_calls.h"

namespace ordavel {

std::string describeFileStatus(const FileStatus& status)
{
    switch (status.fault) {
    case FileFault::None:
        return {};
    case FileFault::Missing:
        return "no such file";
    case FileFault::NoFolder:
        return "no such folder";
    case FileFault::IsFolder:
        return "is a folder";
    case FileFault::NotAFile:
        return "not a regular file";
    case FileFault::BrokenLink:
        return "the symbolic link points to no file";
    case FileFault::PermissionDenied:
        if (file_system_calls::isReadOnlyVolume(status.systemError))
            return "read-only file system";
        if (file_system_calls::isInUse(status.systemError))
            return "the file is in use by another program";
        return "permission denied";
    case FileFault::DiskFull:
        return file_system_calls::isQuotaExceeded(status.systemError) ? "disk quota exceeded"
                                                                      : "no space left on the disk";
    case FileFault::NameTooLong:
        return "file name too long";
    case FileFault::TooLarge:
        return "file too large";
    case FileFault::Other:
        break;
    }
    return status.systemError != 0 ? file_system_calls::errorText(status.systemError) : std::string("failed");
}

FileStatus replaceFile(const std::string& path, std::string_view bytes)
{
    FileReplacement replacement(path);
    if (!replacement.status().ok())
        return replacement.status();
    if (const int code = file_system_calls::writeAll(replacement.descriptor(), bytes); code != 0) {
        replacement.abandon();
        return FileStatus::fromSystemError(code);
    }
    return replacement.commit();
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error)
{
    const FileStatus status = replaceFile(path, bytes);
    if (!status.ok() && error)
        *error = describeFileStatus(status);
    return status.ok();
}

} // namespace ordavel
