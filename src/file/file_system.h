#pragma once
// The file system calls of the file layer: whole-file reads, the safe
// replacement of a file, checks without reading, and why a call failed. This
// is the one place that knows the operating system's file calls and error
// codes; paths are byte strings in the file system's own encoding.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

// Why a file could not be read or written, in terms a user can act on.
enum class FileFault {
    None,
    Missing,          // no file of that name
    NoFolder,         // the folder the file should be in does not exist
    IsFolder,         // the name is a folder
    NotAFile,         // a device, pipe or socket
    BrokenLink,       // a symbolic link to nothing
    PermissionDenied, // not allowed: the file, its folder or the file system is read-only
    DiskFull,         // no space (or quota) left
    NameTooLong,
    TooLarge,         // larger than the reader accepts
    Other,
};

struct FileStatus {
    FileFault fault = FileFault::None;
    int systemError = 0; // the system's error code, 0 when there is none

    bool ok() const { return fault == FileFault::None; }
    static FileStatus fromSystemError(int code);
};

// A short English reason for messages of the command-line tool, such as
// "no space left on the disk" or "permission denied"; "" for success.
std::string describeFileStatus(const FileStatus& status);

// The whole content of the file at `path` when it is a regular file (after
// following symbolic links) of at most `maxBytes` bytes. A folder, device,
// FIFO or socket, a missing or unreadable file, or a larger one (also one
// that grows past the limit while being read) gives nothing, and *status
// (when given) says which. Never blocks on a FIFO.
std::optional<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes,
                                           FileStatus* status = nullptr);

// Checks without reading that `path` is a regular file of at most `maxBytes`
// bytes that this process may open for reading.
FileStatus checkReadableFile(const std::string& path, std::uintmax_t maxBytes);

// Replaces the content of the file at `path` with `bytes` so that readers see
// either the old or the new content, never a mix: the bytes go to a new
// temporary file of a short name beside the file, are flushed to the disk,
// and the temporary is renamed over the file.
//  - A symbolic link is followed: the file it points to is replaced and the
//    link stays; a link to nothing is a BrokenLink failure.
//  - An existing file must be a regular file this process may write; a
//    read-only one is a PermissionDenied failure and is left untouched. Its
//    permission bits (and, where allowed, its owner and group) are kept.
//  - A new file gets 0666 less the umask.
// On failure the temporary is removed and the file is left as it was.
FileStatus replaceFile(const std::string& path, std::string_view bytes);

// replaceFile for content too large to hold in memory: a producer writes it
// into the temporary, through descriptor() or by opening temporaryPath()
// itself (a writer that takes a file name), and commit() puts it in place.
// The rules of replaceFile apply; the checks are made before anything is
// written, so a refused target costs no work:
//
//     FileReplacement out(path);
//     if (!out.status().ok()) ... why: out.status()
//     ... write into out.temporaryPath() ...
//     const FileStatus done = out.commit();
//
// A replacement neither committed nor abandoned is abandoned when destroyed.
class FileReplacement {
public:
    // Checks the target and creates the temporary beside it (the mode, owner
    // and group of an existing file already given to it).
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Why the target is refused or the temporary could not be made; after
    // commit(), its outcome.
    const FileStatus& status() const { return m_status; }
    // The temporary, open for writing; empty and -1 when status() is a failure
    // or the replacement is over.
    const std::string& temporaryPath() const { return m_tempPath; }
    int descriptor() const { return m_fd; }

    // Flushes the temporary to the disk and renames it over the target; on
    // failure the temporary is removed and the target left as it was.
    FileStatus commit();
    // Removes the temporary; the target stays as it was.
    void abandon();

private:
    FileStatus start(const std::string& path);

    std::string m_target; // after following symbolic links
    std::string m_folder;
    std::string m_tempPath;
    int m_fd = -1;
    FileStatus m_status;
};

// replaceFile with the reason as a short English text in *error (when given).
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// Creates `path` as a new empty file, readable and writable by the owner
// only; an existing file of that name is never reused (see nameTaken).
FileStatus createNewFile(const std::string& path);

// True when a failed createNewFile found the name already taken.
bool nameTaken(const FileStatus& status);

// Deletes the file at `path`; a missing file or any error is ignored.
void removeFileQuietly(const std::string& path);

} // namespace ordavel
