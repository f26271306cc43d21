#pragma once
// Drawing test pages by hand: white pictures with rules, boxes and dots.

#include "scan/scan_image.h"

#include <cmath>
#include <cstdint>

namespace ordavel::scan::test {

inline Picture whitePage(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.channels = 1;
    p.pixels.assign(static_cast<std::size_t>(width) * height, 255);
    return p;
}

inline void fillRect(Picture& p, int x, int y, int w, int h, std::uint8_t shade = 0)
{
    for (int yy = std::max(0, y); yy < std::min(p.height, y + h); ++yy)
        for (int xx = std::max(0, x); xx < std::min(p.width, x + w); ++xx)
            p.pixels[static_cast<std::size_t>(yy) * p.width + xx] = shade;
}

// An outline `t` pixels thick.
inline void frame(Picture& p, int x, int y, int w, int h, int t = 2)
{
    fillRect(p, x, y, w, t);
    fillRect(p, x, y + h - t, w, t);
    fillRect(p, x, y, t, h);
    fillRect(p, x + w - t, y, t, h);
}

// A line from (x0, y0) `length` long at `degrees` (clockwise), `t` thick.
inline void slantedLine(Picture& p, double x0, double y0, double length, double degrees, int t = 2)
{
    const double a = degrees * 3.14159265358979 / 180.0;
    for (double s = 0; s < length; s += 0.5)
        fillRect(p, static_cast<int>(std::lround(x0 + s * std::cos(a))), static_cast<int>(std::lround(y0 + s * std::sin(a))), 1, t);
}

} // namespace ordavel::scan::test
