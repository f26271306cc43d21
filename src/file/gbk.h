#pragma once

#include <string>
#include <string_view>

// Conversion between GBK (Windows code page 936) and UTF-8, the program's internal text.
//
// GBK bytes as read:
// - 0x00-0x7F: ASCII; 0x80: U+20AC (euro sign); 0xFF: U+F8F5 (private use).
// - Lead byte 0x81-0xFE plus trail byte 0x40-0x7E or 0x80-0xFE: one of the 23,940 two-byte
//   codes of code page 936; the user-defined areas map to private-use characters.
// - Lead byte 0x81-0xFE, 0x30-0x39, 0x81-0xFE, 0x30-0x39: a GB18030 four-byte sequence, the
//   form utf8ToGbk writes for characters that have no GBK code (BMP ranges and the linear
//   supplementary range from 0x90308130 = U+10000 to 0xE3329A35 = U+10FFFF).
// Anything else is invalid: a lead byte whose sequence is broken or cut off by the end of the
// input becomes one U+FFFD and decoding goes on at the byte after it (so an ASCII byte after
// a stray lead byte survives); a well-formed four-byte sequence that names no character
// becomes one U+FFFD for all four bytes. Input is never read past its end.
//
// UTF-8 as written back:
// - A character with a GBK code gets that code (one or two bytes); decoding any valid GBK
//   input and encoding it again gives the same bytes. The one exception: a four-byte
//   sequence of a character that also has a shorter code (81 private-use characters such as
//   U+E76C, whose code page 936 code is A2E3, and U+F8F5) comes back in the shorter form.
// - A character without one gets its GB18030 four-byte sequence, which gbkToUtf8 reads back.
//   Exception: 80 characters (U+01F9, U+2E81, U+2FF0-U+2FFB, U+303E, some CJK Extension A
//   ideographs, ...) for which GB18030 itself uses a two-byte code that code page 936 reads as
//   a private-use character standing for the same glyph (A8BF: U+01F9 in GB18030, U+E7C8 in
//   code page 936). GB18030 has no four-byte form for them, so they get that two-byte code
//   and read back as the private-use character, as Windows reads it.
// - Invalid UTF-8 (a stray continuation byte, a bad lead byte, an overlong form, a surrogate,
//   a value above U+10FFFF, a sequence cut short) becomes '?': one '?' for each maximal
//   prefix of a valid sequence, or for each single byte that starts none, and encoding goes
//   on at the next byte.
//
// The in-place forms append to `out` and keep its earlier content; reusing one buffer across
// calls avoids the cost of fresh memory. Output sizes: at most 3 UTF-8 bytes per GBK byte,
// at most 2 GBK bytes per UTF-8 byte.
namespace ordavel {

std::string gbkToUtf8(std::string_view gbk);
void gbkToUtf8(std::string_view gbk, std::string& out);

std::string utf8ToGbk(std::string_view utf8);
void utf8ToGbk(std::string_view utf8, std::string& out);

}  // namespace ordavel
