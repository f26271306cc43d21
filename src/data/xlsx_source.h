#pragma once
// XLSX workbooks: one sheet, chosen by name (default: the first), its first
// non-empty row giving the column names.

#include "data/data_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// Shared and inline strings as they are; numbers as a spreadsheet shows them
// with their number format (General: up to 15 significant digits; fixed
// decimals, thousands separators and percent formats applied); cells with a
// date format as "YYYY-MM-DD", with " HH:MM:SS" when they hold a time;
// booleans TRUE/FALSE; error cells as their text (#DIV/0!). Rows without any
// value are skipped. An unknown sheet name lists the sheets there are.
DataReadResult readXlsx(std::string_view bytes, const std::string& sheetName);

// The names of the workbook's sheets in order; empty when it cannot be read.
std::vector<std::string> xlsxSheetNames(std::string_view bytes);

// The text of a spreadsheet serial date (1900 or 1904 date system):
// "YYYY-MM-DD", plus " HH:MM:SS" when withTime. Empty for serials before the
// system's first day or past the year 9999.
std::string serialDateText(double serial, bool date1904, bool withTime);

// A number as its format code shows it (the first section of the code).
std::string formatSpreadsheetNumber(double value, std::string_view formatCode);

} // namespace ordavel
