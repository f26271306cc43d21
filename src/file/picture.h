#pragma once
// Picture bytes and the files around them: the picture type from its first
// bytes, the background temporary file, and the whole-file read and safe
// write that the template reader and writer use. Paths are byte strings in
// the file system's own encoding. Failures come back as values; nothing is
// thrown for I/O errors.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

// File extension of a picture from its first 32 bytes (fewer when shorter):
// "jpg" when they contain "JFIF", then "gif" when they contain "GIF89a", then
// "bmp" when they start with "BM"; a later test wins. Anything else (GIF87a,
// PNG, a JPEG with only an Exif header) gives "".
std::string pictureExtension(std::string_view bytes);

// Creates a new empty file in the system temporary folder and returns its
// full path. The name is T + k in lower-case hexadecimal (no leading zeros)
// plus ".tmp", with T a millisecond tick of the steady clock and k a
// process-wide counter that grows by 1 per call; while a file of that name
// exists the number grows by 1. The file is created exclusively (O_EXCL), so
// no two callers, in this process or another, are ever handed the same name.
// The caller owns the file and deletes it. Returns "" when no file could be
// created (no temporary folder, folder not writable).
std::string createBackgroundTempFile();

// The whole content of the file at `path` when it is a regular file (after
// following symbolic links) of at most `maxBytes` bytes. A folder, device,
// FIFO or socket, a missing or unreadable file, or a larger one (also one
// that grows past the limit while being read) gives nothing. Never blocks on
// a FIFO.
std::optional<std::string> readRegularFile(const std::string& path, std::uintmax_t maxBytes);

// Replaces the file at `path` with `bytes` so that readers see either the old
// or the new content, never a mix: the bytes go to a new temporary file in the
// same folder, are flushed to the disk (fsync), and the temporary is renamed
// over `path`. A file that exists keeps its permission bits (where fchmod allows); a new one gets
// 0666 less the umask. On any failure the temporary is removed, `path` is left
// as it was, false comes back and, when `error` is given, *error receives a
// short English description (for diagnostics, not for users).
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// Deletes the file at `path`; a missing file or any error is ignored.
void removeFileQuietly(const std::string& path);

} // namespace ordavel
