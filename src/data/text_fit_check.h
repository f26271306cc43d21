#pragma once
// Before a batch prints: the text of every box that shrinks to fit is
// measured as the printer draws it, so that a text too large for its print
// rectangle even at its smallest size is reported before anything prints.
// The core has no fonts: the measuring surface comes from the caller.

#include "data/data_table.h"
#include "data/format_check.h"
#include "model/document.h"
#include "print/surface.h"

#include <vector>

namespace ordavel {

// The problems of `rows` (0-based, in that order), row by row and box by box
// in slot order; at most `limit` of them. `measure` measures in 0.1 mm, as
// the printer's surface does; its font is left changed.
std::vector<FormatProblem> checkTextFit(const Document& doc, const DataTable& table, const std::vector<int>& rows,
                                        Surface& measure, std::size_t limit = 100);

// The same for the template's own texts, as a page without data prints
// them; each problem's row is -1.
std::vector<FormatProblem> checkTemplateTextFit(const Document& doc, Surface& measure);

} // namespace ordavel
