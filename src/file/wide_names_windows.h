#pragma once
// Text and file names between the program (UTF-8 std::string) and the
// Windows API (UTF-16). Used only by the Windows twins.

#include <string>
#include <string_view>

namespace ordavel {

// UTF-8 to UTF-16; invalid UTF-8 gives an empty string.
std::wstring wideFromUtf8(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf8FromWide(std::wstring_view text);

} // namespace ordavel
