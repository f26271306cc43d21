#pragma once
// Base64 of the template description segment.
//
// The encoder writes standard Base64 (RFC 4648, alphabet A-Z a-z 0-9 + /,
// "=" padding, no line breaks). The decoder is deliberately tolerant and
// reproduces the decoder that wrote and read existing template files, quirks
// included, so it never fails:
//
//  1. Every ASCII space (0x20) and every GBK full-width space (the byte pair
//     A1 A1, matched left to right without overlap) is removed.
//  2. Then every CR LF pair is removed (one left-to-right pass); a lone CR or
//     LF stays and is an invalid character.
//  3. The remaining L characters are cut into ceil(L/4) groups of four.
//     Places past the end of the text count as "A" (value 0).
//  4. Four six-bit entries start at 0 and are never cleared. In a group each
//     character in the alphabet (case-sensitive) stores its value in its
//     place's entry; the first character that is not ("=", a lone CR, ...)
//     ends the group and the later places keep the previous group's values.
//  5. Every group yields three bytes from the four entries.
//  6. When the last group decoded d < 4 characters, the last 4 - d bytes of
//     the output are cut (never more than this call produced). Only the last
//     group shortens the output, so a last group of d = 0 (for example
//     "YWJj====") also removes one byte of the group before it.

#include <cstddef>
#include <string>
#include <string_view>

namespace ordavel {

// Standard Base64 of bytes; empty input gives empty text.
std::string encodeBase64(std::string_view bytes);
// Appends the Base64 text of bytes to out, reusing its storage.
void encodeBase64Append(std::string_view bytes, std::string& out);

// Tolerant decoding as described above; never fails.
std::string decodeBase64(std::string_view text);
// Appends the decoded bytes of text to out, reusing its storage. What out
// held before is never changed or cut.
void decodeBase64Append(std::string_view text, std::string& out);

// Length of the Base64 text of n bytes: 4 * ceil(n / 3).
constexpr std::size_t base64EncodedLength(std::size_t n)
{
    return (n + 2) / 3 * 4;
}

} // namespace ordavel
