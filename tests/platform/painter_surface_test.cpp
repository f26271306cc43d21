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

// The surface keeps its font, metrics and brush between boxes; each change
// must still reach the painter, also when the painter's own state moved.
TEST(PainterSurface, KeptFontAndBrushFollowEveryChange)
{
    const int dpi = 300;
    const double pxPerMm = dpi / 25.4;
    QImage image = page(dpi);
    QPainter painter(&image);
    PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
    const FontSpec font{"黑体", 24};
    surface.setFont(font);
    const double height24 = surface.textLineHeight();
    surface.setFontPoints(font, 12.0);
    EXPECT_NEAR(surface.textLineHeight(), height24 / 2.0, 2.0);
    surface.setFont(font);
    EXPECT_DOUBLE_EQ(surface.textLineHeight(), height24);
    surface.setFont(FontSpec{"黑体", 12});
    EXPECT_NEAR(surface.textLineHeight(), height24 / 2.0, 2.0);
    surface.setFont(font);

    // Another font set on the painter, and a turned line whose save and
    // restore bring the painter's earlier font back, leave the next line in
    // the surface's font: a 24 pt glyph, not a 6 pt one.
    surface.drawRotatedTextLine(100, 800, 90, "国");
    painter.setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 6));
    surface.drawTextLine(300, 100, "国");
    surface.drawRotatedTextLine(100, 800, 90, "国");
    surface.drawTextLine(600, 100, "国");
    const auto glyphHeightMm = [&](int leftUnits) {
        const QImage area = image.copy(static_cast<int>(leftUnits / 10.0 * pxPerMm), 0,
                                       static_cast<int>(25 * pxPerMm), static_cast<int>(40 * pxPerMm));
        return inkBounds(area).height() / pxPerMm;
    };
    EXPECT_GT(glyphHeightMm(300), 6.5);
    EXPECT_GT(glyphHeightMm(600), 6.5);

    // Text colour back and forth.
    surface.setTextColor(0x0000FF); // red
    surface.drawTextLine(300, 500, "国");
    surface.setTextColor(kBlack);
    surface.drawTextLine(600, 500, "国");
    // The ink's purest pixel: the one with the least green.
    const auto inkColour = [&](int leftUnits, int topUnits) {
        QColor purest(Qt::white);
        for (int y = 0; y < static_cast<int>(25 * pxPerMm); ++y)
            for (int x = 0; x < static_cast<int>(25 * pxPerMm); ++x) {
                const QColor pixel(image.pixel(static_cast<int>(leftUnits / 10.0 * pxPerMm) + x,
                                               static_cast<int>(topUnits / 10.0 * pxPerMm) + y));
                if (pixel.green() < purest.green())
                    purest = pixel;
            }
        return purest;
    };
    const QColor red = inkColour(300, 500);
    EXPECT_GT(red.red(), 200);
    EXPECT_LT(red.green(), 60);
    const QColor black = inkColour(600, 500);
    EXPECT_LT(black.red(), 60);

    // Solid, solid in another colour, hollow, solid again: 1 cm squares.
    const auto centre = [&](int leftUnits, int topUnits) {
        return QColor(image.pixel(static_cast<int>((leftUnits + 50) / 10.0 * pxPerMm),
                                  static_cast<int>((topUnits + 50) / 10.0 * pxPerMm)))
            .name()
            .toStdString();
    };
    const int top = 1000;
    surface.setPenStyle(PenSolid);
    surface.setBrushStyle(BrushSolid);
    surface.setBrushColor(kBlack);
    surface.drawRectangle(100, top, 200, top + 100);
    surface.setBrushColor(0xFF0000); // blue
    surface.drawRectangle(300, top, 400, top + 100);
    surface.setBrushStyle(BrushHollow);
    surface.drawRectangle(500, top, 600, top + 100);
    surface.setBrushStyle(BrushSolid);
    surface.drawRectangle(700, top, 800, top + 100);
    painter.end();
    EXPECT_EQ(centre(100, top), "#000000");
    EXPECT_EQ(centre(300, top), "#0000ff");
    EXPECT_EQ(centre(500, top), "#ffffff");
    EXPECT_EQ(centre(700, top), "#0000ff");
}

} // namespace
} // namespace ordavel
