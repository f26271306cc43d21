// Rectangle arithmetic shared by the steps of the analysis.
#include "scan/scan_image.h"

#include <algorithm>

namespace ordavel::scan {

PixelRect intersect(const PixelRect& a, const PixelRect& b)
{
    const int x = std::max(a.x, b.x);
    const int y = std::max(a.y, b.y);
    const int r = std::min(a.right(), b.right());
    const int bottom = std::min(a.bottom(), b.bottom());
    if (r <= x || bottom <= y)
        return {};
    return {x, y, r - x, bottom - y};
}

PixelRect unite(const PixelRect& a, const PixelRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int x = std::min(a.x, b.x);
    const int y = std::min(a.y, b.y);
    return {x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

double iou(const PixelRect& a, const PixelRect& b)
{
    const double common = static_cast<double>(intersect(a, b).area());
    const double total = static_cast<double>(a.area() + b.area()) - common;
    return total > 0 ? common / total : 0.0;
}

} // namespace ordavel::scan
