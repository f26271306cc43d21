#pragma once
// CSV and TSV files (RFC 4180 quoting): the delimiter is found among comma,
// semicolon and tab, the text may be UTF-8 (with or without a byte order
// mark) or GBK/GB18030, told apart by whether the bytes are valid UTF-8.

#include "data/data_table.h"

#include <string_view>

namespace ordavel {

// Decodes `bytes` to UTF-8: a UTF-8 byte order mark is dropped; bytes that are
// not valid UTF-8 are read as GBK (with GB18030 four-byte sequences).
std::string decodeDataText(std::string_view bytes);

// Of ',', ';' and '\t', the one found most often outside quotes in the first
// record of `text`; ',' when none is found, and on a tie the first of ',', '\t', ';'.
char detectDelimiter(std::string_view text);

// Reads decoded text. The first record gives the column names (surrounding
// spaces dropped); blank lines are skipped; a short row gets empty values; a
// row with more non-empty values than column names, an unclosed quote and text
// after a closing quote are errors naming the file's line and the field.
DataReadResult readDelimitedText(std::string_view text, char delimiter);

// decodeDataText + detectDelimiter + readDelimitedText.
DataReadResult readDelimited(std::string_view bytes);

} // namespace ordavel
