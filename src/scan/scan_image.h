#pragma once
// Pictures and rectangles the scan analysis passes between its steps, free of
// any image library so that each library stays behind its own file.

#include <cstdint>
#include <string>
#include <vector>

namespace ordavel::scan {

// Integer pixel rectangle, left/top inclusive.
struct PixelRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    long long area() const { return static_cast<long long>(w) * h; }
    bool empty() const { return w <= 0 || h <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

PixelRect intersect(const PixelRect& a, const PixelRect& b);
PixelRect unite(const PixelRect& a, const PixelRect& b);
// Intersection over union, 0 when either is empty.
double iou(const PixelRect& a, const PixelRect& b);

// An 8-bit picture: 1 channel (grey) or 3 (R, G, B), rows packed.
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::vector<std::uint8_t> pixels;
    bool empty() const { return width <= 0 || height <= 0; }
};

// A scan as read from its file, with the resolution the file states (0 when none).
struct ScanImage {
    Picture picture;
    double dpiX = 0;
    double dpiY = 0;
};

} // namespace ordavel::scan
