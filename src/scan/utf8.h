#pragma once
// UTF-8 to code points and back, for the caption rules.

#include <string>
#include <string_view>

namespace ordavel::scan {

// Code points of `text`; invalid bytes pass as U+FFFD.
std::u32string decodeUtf8(std::string_view text);
std::string encodeUtf8(std::u32string_view text);

} // namespace ordavel::scan
