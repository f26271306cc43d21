#pragma once
// What the file functions both systems share (file_system.cpp) ask of the
// system: file_system_posix.cpp and file_system_windows.cpp answer.

#include <string>
#include <string_view>

namespace ordavel::file_system_calls {

// The system's words for an error code.
std::string errorText(int code);
// Kinds of error code that the messages tell apart.
bool isReadOnlyVolume(int code);
bool isInUse(int code); // held open by another program
bool isQuotaExceeded(int code);
// Writes all of `bytes` to the open file `descriptor`: 0, or the system's error code.
int writeAll(int descriptor, std::string_view bytes);

} // namespace ordavel::file_system_calls
