#pragma once
// Opening a data file of any supported kind.

#include "data/data_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

enum class DataKind { Delimited, Xlsx, Json };

// By the name's extension (.xlsx; .json, .jsonl, .ndjson; anything else is
// CSV/TSV); for standard input ("-" or no name) by the content: a ZIP file is
// XLSX, text starting with '[' or '{' JSON, anything else CSV/TSV.
DataKind dataKindOf(const std::string& fileName, std::string_view bytes);

// Reads the whole file (`sheet` chooses an XLSX sheet; empty: the first).
// The table's folder is the file's folder, for picture fields.
DataReadResult readDataFile(const std::string& fileName, const std::string& sheet);
// The sheets of a workbook file, in order; empty for a file of another kind
// or one that cannot be read as a workbook.
std::vector<std::string> dataSheetNames(const std::string& fileName);
// The same for bytes already read (standard input), with no folder.
DataReadResult readDataBytes(std::string_view bytes, DataKind kind, const std::string& sheet);

} // namespace ordavel
