#pragma once
// SHA-256 of a byte string (FIPS 180-4), for naming stored templates.

#include <string>
#include <string_view>

namespace ordavel {

// The digest as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

} // namespace ordavel
