#include "platform/painter_surface.h"

#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// A white A6-sized page at `dpi` (10.5 x 14.8 cm).
QImage page(int dpi)
{
    QImage image(static_cast<int>(10.5 / 2.54 * dpi), static_cast<int>(14.8 / 2.54 * dpi),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    image.fill(Qt::white);
    return image;
}

// The ink's bounding box in device pixels.
QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST(PainterSurface, TenthsOfMillimetreMapToTheDevicesResolution)
{
    for (const int dpi : {300, 600}) {
        QImage image = page(dpi);
        {
            QPainter painter(&image);
            PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
            surface.setPenStyle(PenNone);
            surface.setBrushStyle(BrushSolid);
            surface.setBrushColor(0x000000);
            surface.drawRectangle(100, 200, 400, 400); // 1 cm, 2 cm, 3 x 2 cm
        }
        const double pxPerUnit = dpi / 254.0;
        const QRect ink = inkBounds(image);
        EXPECT_NEAR(ink.left(), 100 * pxPerUnit, 1.0) << dpi;
        EXPECT_NEAR(ink.top(), 200 * pxPerUnit, 1.0) << dpi;
        EXPECT_NEAR(ink.width(), 300 * pxPerUnit, 1.0) << dpi;
        EXPECT_NEAR(ink.height(), 200 * pxPerUnit, 1.0) << dpi;
    }
}

TEST(PainterSurface, FontsKeepTheirPointSizeWhateverTheResolution)
{
    double inkHeightMm[2] = {};
    double lineHeightUnits[2] = {};
    int i = 0;
    for (const int dpi : {300, 600}) {
        QImage image = page(dpi);
        {
            QPainter painter(&image);
            PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
            surface.setFont(FontSpec{"黑体", 24});
            lineHeightUnits[i] = surface.textLineHeight();
            EXPECT_NEAR(surface.devicePixel(), 254.0 / dpi, 1e-9);
            surface.drawTextLine(100, 100, "国");
        }
        const QRect ink = inkBounds(image);
        inkHeightMm[i] = ink.height() * 25.4 / dpi;
        // The top of the text cell is at 1 cm; the glyph sits just below it.
        EXPECT_GE(ink.top() * 25.4 / dpi, 10.0 - 0.1) << dpi;
        EXPECT_LT(ink.top() * 25.4 / dpi, 12.0) << dpi;
        ++i;
    }
    // 24 pt = 8.47 mm: a full-height CJK glyph is most of that.
    EXPECT_NEAR(inkHeightMm[0], inkHeightMm[1], 0.15);
    EXPECT_GT(inkHeightMm[0], 6.5);
    EXPECT_LT(inkHeightMm[0], 8.5);
    EXPECT_NEAR(lineHeightUnits[0], lineHeightUnits[1], 1.0);
    EXPECT_GT(lineHeightUnits[0], 84.0);
}

} // namespace
} // namespace ordavel
