#pragma once
// Before a batch prints: every formatted placeholder of every record the
// batch prints is formatted once, and every text printed in cells is
// counted, so that a value its format cannot read ("${金额|大写}" of
// "12.345") or a text longer than its cells is reported before anything is
// printed.

#include "data/data_table.h"
#include "model/document.h"

#include <string>
#include <vector>

namespace ordavel {

struct FormatProblem {
    int row = 0;   // 0-based row of the table
    int slot = 0;  // the box's slot index
    std::string placeholder; // between "${" and "}"; empty for a text too long for its cells
    std::string reason;
    // "第 2 条记录，第 1 个框的“${金额|大写}”：金额“12.345”的小数超过两位"
    std::string message() const;
};

// The problems of `rows` (0-based, in that order), row by row and box by box
// in slot order; at most `limit` of them. The record number ${#} of row r is
// taken as r + 1, counters as unreadable by no format (they are numbers).
std::vector<FormatProblem> checkFieldFormats(const Document& doc, const DataTable& table,
                                             const std::vector<int>& rows, std::size_t limit = 100);

} // namespace ordavel
