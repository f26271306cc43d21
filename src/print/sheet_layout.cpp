#include "print/sheet_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ordavel {

SheetSlot sheetSlot(const SheetLayout& layout, int form, int startCell)
{
    if (!layout.active())
        return {form, 0, 0, 0};
    const int cells = layout.cells();
    const int at = std::max(form, 0) + std::clamp(startCell, 1, cells) - 1;
    SheetSlot slot;
    slot.sheet = at / cells;
    slot.cell = at % cells;
    slot.leftCm = layout.leftCm + layout.stepXCm * (slot.cell % layout.columns);
    slot.topCm = layout.topCm + layout.stepYCm * (slot.cell / layout.columns);
    return slot;
}

namespace {

std::string number(double value)
{
    // Hundredths of a millimetre at most, without trailing zeros.
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::round(value * 1000.0) / 1000.0);
    std::string out = text;
    while (!out.empty() && out.back() == '0')
        out.pop_back();
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

} // namespace

std::string sheetLayoutText(const SheetLayout& layout)
{
    return number(layout.widthCm) + "," + number(layout.heightCm) + "," + std::to_string(layout.columns) + ","
        + std::to_string(layout.rows) + "," + number(layout.leftCm) + "," + number(layout.topCm) + ","
        + number(layout.stepXCm) + "," + number(layout.stepYCm);
}

std::optional<SheetLayout> readSheetLayout(std::string_view text)
{
    std::vector<double> values;
    for (bool more = true; more;) {
        const std::size_t comma = text.find(',');
        const std::string part(text.substr(0, comma));
        char* end = nullptr;
        const double value = std::strtod(part.c_str(), &end);
        if (part.empty() || end != part.c_str() + part.size() || !std::isfinite(value))
            return std::nullopt;
        values.push_back(value);
        more = comma != std::string_view::npos;
        if (more)
            text.remove_prefix(comma + 1);
    }
    if (values.size() != 8)
        return std::nullopt;
    SheetLayout layout{values[0], values[1], static_cast<int>(values[2]), static_cast<int>(values[3]),
                       values[4],  values[5], values[6],                    values[7]};
    const auto within = [](double v, double lo, double hi) { return v >= lo && v <= hi; };
    if (values[2] != std::floor(values[2]) || values[3] != std::floor(values[3])
        || !within(layout.columns, 1, kMaxSheetCells) || !within(layout.rows, 1, kMaxSheetCells)
        || !within(layout.widthCm, 0.01, 10000) || !within(layout.heightCm, 0.01, 10000)
        || !within(layout.leftCm, -10000, 10000) || !within(layout.topCm, -10000, 10000)
        || !within(layout.stepXCm, 0, 10000) || !within(layout.stepYCm, 0, 10000))
        return std::nullopt;
    return layout;
}

} // namespace ordavel
