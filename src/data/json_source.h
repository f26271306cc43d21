#pragma once
// JSON records: an array of objects, or one object per line. The columns are
// the objects' keys in the order they first appear.

#include "data/data_table.h"

#include <cstddef>
#include <string_view>

namespace ordavel {

// Strings are taken as they are, numbers and true/false as their JSON text,
// null as empty, arrays and objects as their compact JSON text. Malformed
// JSON names its line and column; a record that is not an object names its row.
DataReadResult readJson(std::string_view bytes);

// Where in `text` the number lies that the JSON reader's range error
// `message` names ("number overflow parsing '1e999'": too large for a
// double); npos when it names none found there.
std::size_t overflowingNumberAt(std::string_view text, std::string_view message);

} // namespace ordavel
