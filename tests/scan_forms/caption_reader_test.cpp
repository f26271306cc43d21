// The caption reader on lines drawn for it: what it reads, how sure it is,
// and its engines loaded on a thread of their own.
#include "scan/caption_reader.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace ordavel::scan {
namespace {

// One line of text, 40 px tall, on a white crop with a margin.
Picture line(const QString& text)
{
    QImage image(40 * (static_cast<int>(text.size()) + 2), 64, QImage::Format_Grayscale8);
    image.fill(255);
    {
        QPainter painter(&image);
        QFont font("Noto Sans CJK SC");
        font.setPixelSize(40);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, text);
    }
    Picture p;
    p.width = image.width();
    p.height = image.height();
    p.channels = 1;
    for (int y = 0; y < image.height(); ++y)
        p.pixels.insert(p.pixels.end(), image.constScanLine(y), image.constScanLine(y) + image.width());
    return p;
}

TEST(CaptionReader, ClearPrintIsReadSurelyAndABlankNotAtAll)
{
    CaptionReader reader;
    ASSERT_TRUE(reader.ok()) << "the chi_sim and eng models are not installed";
    EXPECT_EQ(reader.readChinese(line("联系电话")), "联系电话");
    EXPECT_GE(reader.sureness(), 95.0);
    EXPECT_EQ(reader.read(line("Unit price")), "Unit price");
    EXPECT_GE(reader.sureness(), 90.0);
    EXPECT_EQ(reader.readings(), 2);
    // A blank crop, square enough to be read inverted too, and no picture at
    // all: nothing read, not sure at all whatever the reading before, no
    // reading counted.
    EXPECT_EQ(reader.readChinese(line("")), "");
    EXPECT_EQ(reader.sureness(), 0.0);
    EXPECT_EQ(reader.read(Picture{}), "");
    EXPECT_EQ(reader.readings(), 2);
    // One character alone is read.
    EXPECT_EQ(reader.readChinese(line("月")), "月");
    EXPECT_EQ(reader.readings(), 3);
}

TEST(CaptionReader, ReadersStillLoadingAreDroppedOrUsedSideBySide)
{
    // Dropped before its engines are up: it waits for them and ends.
    { CaptionReader dropped; }
    CaptionReader first;
    CaptionReader second;
    const Picture crop = line("开户银行");
    EXPECT_EQ(first.readChinese(crop), "开户银行");
    EXPECT_EQ(second.readChinese(crop), first.readChinese(crop));
    EXPECT_EQ(second.sureness(), first.sureness());
}

} // namespace
} // namespace ordavel::scan
