#include "designer/scan_review.h"

#include <algorithm>
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

} // namespace ordavel::scanreview
