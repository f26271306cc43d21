#pragma once
// The review tools of a scan's proposals: fields added where the analysis
// missed them, from the rules it found. All rectangles are in pixels of the
// scan as given.

#include "scan/scan_image.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel::scan {
class CaptionReader;
}

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

// The caption that names `field`: of `captions`, the nearest ending left of
// it on its line, else the nearest above it over its width (above first for a
// field three lines tall or more: a table's column), within `reach`,
// leaving out those under half the usual phrase's height. Pieces of the same
// caption on its line are joined to it. Nothing when none is found.
struct CaptionSpot {
    int index = -1;        // the caption chosen
    scan::PixelRect rect;  // it with the pieces joined to it
};
std::optional<CaptionSpot> captionFor(const std::vector<scan::PixelRect>& captions, const scan::PixelRect& field,
                                      int reach);

// The text of the caption at `rect` of a grey scan, tidied ("" when nothing is read).
std::string readCaption(scan::CaptionReader& reader, const scan::Picture& grey, const scan::PixelRect& rect);

// `field` cut in two at (x, y): across at x when it is wider than tall, else at y.
// Nothing when either part would be narrower than `least`.
std::optional<std::pair<scan::PixelRect, scan::PixelRect>> splitAt(const scan::PixelRect& field, int x, int y, int least);

} // namespace ordavel::scanreview
