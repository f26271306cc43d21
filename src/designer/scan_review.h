#pragma once
// The review tools of a scan's proposals: fields added where the analysis
// missed them, from the rules it found. All rectangles are in pixels of the
// scan as given.

#include "scan/scan_image.h"

#include <optional>
#include <vector>

namespace ordavel::scanreview {

// The field a click at (x, y) adds: the smallest of `cells` holding the
// point, inset by `ruleWidth` on every side; nothing outside every cell or
// when the cell is too small to hold a field.
std::optional<scan::PixelRect> cellFieldAt(const std::vector<scan::PixelRect>& cells, int ruleWidth, int x, int y);

// The underline field a drag from `from` to `to` adds: over the line that
// both ends lie within `reach` of vertically (the nearest when several do),
// from the drag's left end to its right end held to the line, `height` tall
// and standing on the line. Nothing when the drag does not follow a line.
struct Point {
    int x = 0;
    int y = 0;
};
std::optional<scan::PixelRect> underlineAlong(const std::vector<scan::PixelRect>& lines, Point from, Point to,
                                              int reach, int height);

} // namespace ordavel::scanreview
