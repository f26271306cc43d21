#include "platform/glyph_cache.h"

#include "platform/font_resolver.h"
#include "platform/painter_surface.h"
#include "platform/text_line.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

QImage page(int dpi, QSize size = QSize(1, 1))
{
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    image.fill(Qt::white);
    return image;
}

// Texts of the forms a batch prints, in the faces templates name and one
// Latin face that kerns and joins letters: every text the cache composes
// has Qt's own width; CJK texts and numbers compose.
TEST(GlyphCache, ComposedTextsTakeQtsOwnWidths)
{
    const QImage device = page(1200);
    struct Case {
        FontSpec font;
        const char* text;
        bool composes; // must be drawn from kept glyphs
    };
    const Case cases[] = {
        {{"宋体", 9}, "北京某某贸易有限公司12", true},
        {{"宋体", 9}, "人民币壹仟零叁拾柒元壹角伍分", true},
        {{"宋体", 12, true}, "贰零贰陆年零壹月零壹日", true},
        {{"黑体", 6}, "收件人4711", true},
        {{"宋体", 9}, "One Thousand and 07/100", true},
        {{"宋体", 9}, "¥1,234.50", true},
        {{"DejaVu Sans", 10}, "AVATAR Today", false},
        {{"DejaVu Sans", 10}, "office", false},
    };
    for (const Case& c : cases) {
        const QFont font(qtFont(c.font), &device);
        GlyphCache cache(font);
        const QString text = QString::fromUtf8(c.text);
        // Twice: the second time from kept glyphs and pairs.
        for (int round = 0; round < 2; ++round) {
            const std::optional<qreal> width = cache.advance(c.text);
            if (c.composes) {
                ASSERT_TRUE(width.has_value()) << c.text;
            }
            if (!width)
                continue;
            EXPECT_DOUBLE_EQ(*width, QFontMetricsF(font).horizontalAdvance(text)) << c.text;
        }
    }
}

// A kerned pair is never composed from its letters alone.
TEST(GlyphCache, KernedPairsAreLeftToQt)
{
    const QImage device = page(1200);
    const QFont font(qtFont(FontSpec{"DejaVu Sans", 10}), &device);
    const QFontMetricsF metrics(font);
    ASSERT_NE(metrics.horizontalAdvance(QStringLiteral("AV")),
              metrics.horizontalAdvance(QStringLiteral("A")) + metrics.horizontalAdvance(QStringLiteral("V")));
    GlyphCache cache(font);
    EXPECT_FALSE(cache.advance("AV").has_value());
    EXPECT_FALSE(cache.advance("\xFF").has_value()); // not UTF-8
    EXPECT_FALSE(cache.advance("a\tb").has_value());
    EXPECT_TRUE(cache.advance("").has_value());
}

// Characters far apart in the code space and hundreds of neighbour pairs
// kept in one cache: every verdict and width holds as more are kept, and a
// text asked twice in a row (a width, then the drawing) gets the same answer.
TEST(GlyphCache, VerdictsHoldAsTheKeptCharactersAndPairsGrow)
{
    const QImage device = page(1200);
    const QFont font(qtFont(FontSpec{"DejaVu Sans", 10}), &device);
    const QFontMetricsF metrics(font);
    GlyphCache cache(font);
    EXPECT_FALSE(cache.advance("AV").has_value());
    ASSERT_TRUE(cache.advance("A").has_value());
    // 296 CJK characters, each next to the one before it: 295 pairs; Latin-1
    // with the block after it and a character past U+FFFF each on their own
    // (Qt places them apart from CJK).
    QString manyText;
    for (char32_t c = 0x4E00; c < 0x4E00 + 280; ++c)
        manyText += QChar(static_cast<char16_t>(c));
    manyText += QString::fromUtf8("壹贰叁肆伍陆柒捌玖拾佰仟万元角分");
    const std::string many = manyText.toStdString();
    for (int round = 0; round < 2; ++round) {
        const std::optional<qreal> width = cache.advance(many);
        ASSERT_TRUE(width.has_value());
        EXPECT_DOUBLE_EQ(*width, metrics.horizontalAdvance(manyText));
        EXPECT_FALSE(cache.advance("AV").has_value());
        EXPECT_FALSE(cache.advance("AV").has_value());
        const std::optional<qreal> a = cache.advance("A");
        ASSERT_TRUE(a.has_value());
        EXPECT_DOUBLE_EQ(*a, metrics.horizontalAdvance(QStringLiteral("A")));
        const std::optional<qreal> latin = cache.advance("1é2ÿ3Ā4ā");
        ASSERT_TRUE(latin.has_value());
        EXPECT_DOUBLE_EQ(*latin, metrics.horizontalAdvance(QString::fromUtf8("1é2ÿ3Ā4ā")));
        if (const std::optional<qreal> far = cache.advance("\xF0\xA0\x80\x80")) {
            EXPECT_DOUBLE_EQ(*far, metrics.horizontalAdvance(QString::fromUtf8("\xF0\xA0\x80\x80")));
        }
        const std::optional<qreal> twoWords = cache.advance("AX VA");
        if (twoWords) {
            EXPECT_DOUBLE_EQ(*twoWords, metrics.horizontalAdvance(QStringLiteral("AX VA")));
        }
    }
    // Laid out right after its width was asked: the glyphs of the same text.
    GlyphRuns runs;
    ASSERT_TRUE(cache.advance("壹贰叁").has_value());
    ASSERT_TRUE(cache.layOut("壹贰叁", QPointF(10.0, 20.0), runs));
    EXPECT_FALSE(runs.empty());
    GlyphRuns none;
    EXPECT_FALSE(cache.layOut("AV", QPointF(10.0, 20.0), none));
    EXPECT_TRUE(none.empty());
}

// Glyphs drawn from the cache land where Qt's drawText puts them: the same
// pixels on a page, for two fonts and sizes drawn in turn through one
// surface and through a plain painter.
TEST(GlyphCache, SurfaceDrawsWhereQtDrawsInEveryFontItKeeps)
{
    const int dpi = 600;
    const QSize size(2000, 1200);
    QImage viaSurface = page(dpi, size);
    QImage viaQt = page(dpi, size);
    if (!keptGlyphsDrawAsLines(&viaSurface))
        GTEST_SKIP() << "lines here are not the painter's own layout";
    struct Line {
        FontSpec font;
        int x, y; // 0.1 mm
        const char* text;
    };
    const Line lines[] = {
        {{"宋体", 24}, 50, 50, "壹仟零叁拾柒元"},
        {{"宋体", 12}, 50, 200, "北京某某贸易有限公司7"},
        {{"黑体", 24}, 50, 300, "壹仟零叁拾柒元"},
        {{"宋体", 24}, 50, 400, "伍分"},
        {{"黑体", 10}, 50, 450, "北京某某贸易有限公司7"},
    };
    {
        QPainter painter(&viaSurface);
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        for (const Line& line : lines) {
            surface.setFont(line.font);
            surface.drawTextLine(line.x, line.y, line.text);
        }
    }
    {
        QPainter painter(&viaQt);
        painter.setPen(Qt::black);
        const double pxPerUnit = dpi / 254.0;
        for (const Line& line : lines) {
            const QFont font(qtFont(line.font), &viaQt);
            painter.setFont(font);
            painter.drawText(QPointF(line.x * pxPerUnit, line.y * pxPerUnit + QFontMetricsF(font).ascent()),
                             QString::fromUtf8(line.text));
        }
    }
    EXPECT_TRUE(viaSurface == viaQt);
}

// Surfaces on devices of different resolutions share no glyphs: a font's
// kept advances are in its own device's pixels.
TEST(GlyphCache, EachResolutionKeepsItsOwnGlyphs)
{
    const QImage at300 = page(300);
    const QImage at600 = page(600);
    const QFont font = qtFont(FontSpec{"宋体", 12});
    const auto cache300 = GlyphCache::shared(QFont(font, &at300), &at300);
    const auto cache600 = GlyphCache::shared(QFont(font, &at600), &at600);
    EXPECT_NE(cache300, cache600);
    EXPECT_EQ(cache300, GlyphCache::shared(QFont(font, &at300), &at300));
    const auto bigger = GlyphCache::shared(QFont(qtFont(FontSpec{"宋体", 24}), &at300), &at300);
    EXPECT_NE(cache300, bigger);
    const std::optional<qreal> narrow = cache300->advance("国国");
    const std::optional<qreal> wide = cache600->advance("国国");
    const std::optional<qreal> large = bigger->advance("国国");
    ASSERT_TRUE(narrow && wide && large);
    EXPECT_NEAR(*wide, *narrow * 2.0, 1.0);
    EXPECT_NEAR(*large, *narrow * 2.0, 1.0);
}

} // namespace
} // namespace ordavel
