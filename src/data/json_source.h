#pragma once
// JSON records: an array of objects, or one object per line. The columns are
// the objects' keys in the order they first appear.

#include "data/data_table.h"

#include <string_view>

namespace ordavel {

// Strings are taken as they are, numbers and true/false as their JSON text,
// null as empty, arrays and objects as their compact JSON text. Malformed
// JSON names its line and column; a record that is not an object names its row.
DataReadResult readJson(std::string_view bytes);

} // namespace ordavel
