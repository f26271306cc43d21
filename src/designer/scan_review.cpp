#include "designer/scan_review.h"

#include "scan/caption_reader.h"
#include "scan/ruling.h"
#include "scan/scan_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ordavel::scanreview {

std::optional<scan::PixelRect> cellFieldAt(const std::vector<scan::PixelRect>& cells, int ruleWidth, int x, int y)
{
    const scan::PixelRect* best = nullptr;
    for (const scan::PixelRect& cell : cells) {
        if (x < cell.x || x >= cell.right() || y < cell.y || y >= cell.bottom())
            continue;
        if (!best || cell.area() < best->area())
            best = &cell;
    }
    if (!best)
        return std::nullopt;
    const int inset = std::max(1, ruleWidth);
    const scan::PixelRect field{best->x + inset, best->y + inset, best->w - 2 * inset, best->h - 2 * inset};
    if (field.w < 2 * inset || field.h < 2 * inset)
        return std::nullopt;
    return field;
}

std::optional<scan::PixelRect> underlineAlong(const std::vector<scan::PixelRect>& lines, Point from, Point to,
                                              int reach, int height)
{
    const int left = std::min(from.x, to.x);
    const int right = std::max(from.x, to.x);
    const scan::PixelRect* best = nullptr;
    int bestDistance = 0;
    for (const scan::PixelRect& line : lines) {
        // Both ends near the line vertically, and the drag over it.
        const auto off = [&](int y) { return y < line.y ? line.y - y : y >= line.bottom() ? y - line.bottom() + 1 : 0; };
        const int distance = std::max(off(from.y), off(to.y));
        if (distance > reach || right <= line.x || left >= line.right())
            continue;
        if (!best || distance < bestDistance) {
            best = &line;
            bestDistance = distance;
        }
    }
    if (!best || height <= 0)
        return std::nullopt;
    const int start = std::max(left, best->x);
    const int end = std::min(right, best->right());
    if (end - start < 2)
        return std::nullopt;
    return scan::PixelRect{start, best->y - height, end - start, height};
}

std::optional<CaptionSpot> captionFor(const std::vector<scan::PixelRect>& captions, const scan::PixelRect& field,
                                      int reach)
{
    // Specks and pieces of strokes are no captions: at least half as tall as the usual phrase.
    std::vector<int> heights;
    for (const scan::PixelRect& c : captions)
        heights.push_back(c.h);
    if (heights.empty())
        return std::nullopt;
    std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
    const int lowest = heights[heights.size() / 2] / 2;
    const auto besideLine = [&](const scan::PixelRect& c, const scan::PixelRect& line) {
        const int overlapY = std::min(c.bottom(), line.bottom()) - std::max(c.y, line.y);
        return overlapY * 2 >= std::min(c.h, line.h);
    };
    int left = -1, above = -1;
    int leftDistance = 0, aboveDistance = 0;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const scan::PixelRect& c = captions[i];
        if (c.h < lowest)
            continue;
        const int overlapX = std::min(c.right(), field.right()) - std::max(c.x, field.x);
        // Left on its line: most of the caption's height beside the field,
        // its middle before the field's start (a caption inside a cell's left end counts).
        if (besideLine(c, field) && c.x + c.w / 2 < field.x) {
            const int distance = std::max(0, field.x - c.right());
            if (distance <= reach && (left < 0 || distance < leftDistance)) {
                left = static_cast<int>(i);
                leftDistance = distance;
            }
        } else if (overlapX > 0 && c.y + c.h / 2 < field.y) {
            // Above, over the field's width.
            const int distance = std::max(0, field.y - c.bottom());
            if (distance <= reach && (above < 0 || distance < aboveDistance)) {
                above = static_cast<int>(i);
                aboveDistance = distance;
            }
        }
    }
    // A caption on the field's line names it before one above it, except for
    // a field of several lines (a table's column), named by its header.
    const bool tall = field.h >= 3 * heights[heights.size() / 2];
    const int chosen = tall && above >= 0 ? above : left >= 0 ? left : above;
    if (chosen < 0)
        return std::nullopt;
    // The pieces of the same caption on its line (characters the analysis
    // kept apart) join it: each no further from the next than a line's height.
    CaptionSpot spot{chosen, captions[static_cast<std::size_t>(chosen)]};
    for (bool grew = true; grew;) {
        grew = false;
        for (const scan::PixelRect& c : captions) {
            if (c.h < lowest || !besideLine(c, spot.rect) || scan::intersect(c, spot.rect) == c)
                continue;
            const int gap = std::max(c.x - spot.rect.right(), spot.rect.x - c.right());
            if (gap > std::max(c.h, spot.rect.h) || (chosen == left && c.right() > field.x + field.w / 2))
                continue;
            spot.rect = scan::unite(spot.rect, c);
            grew = true;
        }
    }
    return spot;
}

std::string readCaption(scan::CaptionReader& reader, const scan::Picture& grey, const scan::PixelRect& rect)
{
    const scan::PixelRect r = scan::intersect(rect, {0, 0, grey.width, grey.height});
    if (r.empty())
        return {};
    // Read at about 40 pixels a line, as the analysis reads its captions.
    const double scale = std::clamp(40.0 / std::max(1, r.h), 0.25, 4.0);
    const scan::Picture crop = scan::cropScaled(grey, r, scale, std::max(2, r.h / 4));
    std::string text = reader.readChinese(crop);
    if (scan::tidyCaption(text).empty())
        text = reader.read(crop);
    return scan::tidyCaption(text);
}

std::optional<std::pair<scan::PixelRect, scan::PixelRect>> splitAt(const scan::PixelRect& field, int x, int y, int least)
{
    const int floor = std::max(1, least);
    if (field.w >= field.h) {
        const int cut = x - field.x;
        if (cut < floor || field.w - cut < floor)
            return std::nullopt;
        return std::pair{scan::PixelRect{field.x, field.y, cut, field.h},
                         scan::PixelRect{x, field.y, field.w - cut, field.h}};
    }
    const int cut = y - field.y;
    if (cut < floor || field.h - cut < floor)
        return std::nullopt;
    return std::pair{scan::PixelRect{field.x, field.y, field.w, cut}, scan::PixelRect{field.x, y, field.w, field.h - cut}};
}

} // namespace ordavel::scanreview
