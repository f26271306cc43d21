#pragma once
// Sub-pixel measurements on pages rendered by poppler's cairo back end,
// whose anti-aliasing is the exact area a shape covers in each pixel: the
// edges of a filled block and the centre line of a thin stroke.

#include <QImage>

#include <functional>
#include <optional>

namespace ordavel::test {

// How much of a pixel a shape covers, 0 (white) to 1 (the shape's colour).
using Coverage = std::function<double(QRgb)>;

// Coverage by one channel that is 0 in the shape's colour and 255 in white.
inline Coverage coverageBy(int (*channel)(QRgb)) { return [channel](QRgb p) { return (255 - channel(p)) / 255.0; }; }

struct Span {
    double from = 0; // pixels, edges of the covered run
    double to = 0;
};

// The covered run of row y between pixels `lo` and `hi`: a partly covered
// end pixel counts for the fraction it covers.
inline std::optional<Span> rowSpan(const QImage& image, int y, int lo, int hi, const Coverage& coverage)
{
    int first = -1;
    int last = -1;
    for (int x = std::max(lo, 0); x <= std::min(hi, image.width() - 1); ++x)
        if (coverage(image.pixel(x, y)) > 0.02) {
            if (first < 0)
                first = x;
            last = x;
        }
    if (first < 0)
        return std::nullopt;
    return Span{first + 1.0 - coverage(image.pixel(first, y)), last + coverage(image.pixel(last, y))};
}

inline std::optional<Span> columnSpan(const QImage& image, int x, int lo, int hi, const Coverage& coverage)
{
    int first = -1;
    int last = -1;
    for (int y = std::max(lo, 0); y <= std::min(hi, image.height() - 1); ++y)
        if (coverage(image.pixel(x, y)) > 0.02) {
            if (first < 0)
                first = y;
            last = y;
        }
    if (first < 0)
        return std::nullopt;
    return Span{first + 1.0 - coverage(image.pixel(x, first)), last + coverage(image.pixel(x, last))};
}

// The coverage-weighted centre (pixels) of a horizontal stroke crossing
// column x between rows lo and hi, or of a vertical one crossing row y.
inline std::optional<double> strokeCentreInColumn(const QImage& image, int x, int lo, int hi, const Coverage& coverage)
{
    double sum = 0;
    double weighted = 0;
    for (int y = std::max(lo, 0); y <= std::min(hi, image.height() - 1); ++y) {
        const double c = coverage(image.pixel(x, y));
        sum += c;
        weighted += c * (y + 0.5);
    }
    if (sum < 0.5)
        return std::nullopt;
    return weighted / sum;
}

inline std::optional<double> strokeCentreInRow(const QImage& image, int y, int lo, int hi, const Coverage& coverage)
{
    double sum = 0;
    double weighted = 0;
    for (int x = std::max(lo, 0); x <= std::min(hi, image.width() - 1); ++x) {
        const double c = coverage(image.pixel(x, y));
        sum += c;
        weighted += c * (x + 0.5);
    }
    if (sum < 0.5)
        return std::nullopt;
    return weighted / sum;
}

} // namespace ordavel::test
