#pragma once
// SHA-256 of a byte string, as 64 lower-case hex digits. The service stores
// only this digest of each access token.

#include <string>
#include <string_view>

namespace ordavel::service {

std::string sha256Hex(std::string_view bytes);

} // namespace ordavel::service
