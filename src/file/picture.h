#pragma once
// Picture bytes and the files around them: the picture type from its first
// bytes and the background temporary file. The whole-file read and safe
// write come with file_system.h. Paths are byte strings in the file system's
// own encoding. Failures come back as values; nothing is thrown for I/O errors.

#include "file/file_system.h"

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

} // namespace ordavel
