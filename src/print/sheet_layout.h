#pragma once
// Several forms to one sheet: label and cheque stock that comes two, three or
// more to a page. A batch fills the cells across, then down, sheet after
// sheet, and may start at a cell of a partly used first sheet.

#include "model/document.h"

#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

// The most columns and rows a sheet is cut into.
inline constexpr int kMaxSheetCells = 50;

// A form's place on its sheet: the sheet (0-based), the cell (0-based,
// across then down) and the form's top-left corner on the sheet, cm.
struct SheetSlot {
    int sheet = 0;
    int cell = 0;
    double leftCm = 0;
    double topCm = 0;
    friend bool operator==(const SheetSlot&, const SheetSlot&) = default;
};

// The slot of the `form`-th form (0-based) of a batch whose first form goes
// into cell `startCell` (1-based) of the first sheet.
SheetSlot sheetSlot(const SheetLayout& layout, int form, int startCell = 1);

// The layout as the template file keeps it, "W,H,C,R,X,Y,DX,DY" (sheet
// width and height, columns, rows, the first form's left and top, the step
// across and down; cm), and back. Nothing when the text is no layout or its
// values are out of range (sides > 0, 1..kMaxSheetCells columns and rows).
std::string sheetLayoutText(const SheetLayout& layout);
std::optional<SheetLayout> readSheetLayout(std::string_view text);

} // namespace ordavel
