#include "platform/picture_decoder.h"

#include "platform/painter_surface.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

std::string readPicture(const char* name)
{
    QFile file(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll().toStdString();
}

std::string encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes.toStdString();
}

TEST(PictureDecoder, ReadsBmpJpegAndGifButRefusesPngAndOtherBytes)
{
    QImage source(30, 20, QImage::Format_RGB32);
    source.fill(Qt::red);
    for (const char* format : {"BMP", "JPG"}) {
        const QImage image = decodePicture(encode(source, format));
        ASSERT_FALSE(image.isNull()) << format;
        EXPECT_EQ(image.size(), QSize(30, 20)) << format;
        EXPECT_GT(qRed(image.pixel(15, 10)), 200) << format;
    }
    EXPECT_EQ(decodePicture(readPicture("gif87a.gif")).size(), QSize(1, 1));
    EXPECT_EQ(decodePicture(readPicture("animation-no-delays.gif")).size(), QSize(2, 2));
    // Exif-only JPEG without a JFIF marker, and one with an ICC profile.
    EXPECT_EQ(decodePicture(readPicture("f1-exif.jpg")).size(), QSize(40, 80));
    EXPECT_EQ(decodePicture(readPicture("icc-profile.jpeg")).size(), QSize(48, 48));

    EXPECT_TRUE(decodePicture(encode(source, "PNG")).isNull());
    EXPECT_TRUE(decodePicture(readPicture("invalid.1.png")).isNull());
    EXPECT_TRUE(decodePicture("").isNull());
    EXPECT_TRUE(decodePicture("BM").isNull());
    EXPECT_TRUE(decodePicture("plain text, not a picture").isNull());
}

TEST(PictureDecoder, DamagedAndAbsurdFilesGiveNothingWithoutCrashing)
{
    for (const char* name : {"CVE-2017-2862.jpg", "bug776694.bmp", "bug777315.bmp", "bug778584.gif",
                             "cve-2015-4491.bmp", "hang_114.gif", "invalid.1.bmp", "invalid.1.gif",
                             "invalid.2.gif", "zero-height.gif", "max-size.gif"})
        EXPECT_TRUE(decodePicture(readPicture(name)).isNull()) << name;
    // Damage after the header leaves a partly decoded picture of the declared size.
    EXPECT_EQ(decodePicture(readPicture("premature-end.jpg")).size(), QSize(256, 256));
    EXPECT_EQ(decodePicture(readPicture("overflow-codes.gif")).size(), QSize(2, 2));
    // Every truncation of a valid JPEG either decodes or gives nothing.
    const std::string jpeg = readPicture("f1-exif.jpg");
    for (std::size_t length = 0; length < jpeg.size(); length += 7)
        (void)decodePicture(std::string_view(jpeg).substr(0, length));
}

// The 54 header bytes of a 24-bit BMP of the given size, without its pixels.
std::string bmpHeader(int width, int height)
{
    std::string bytes(54, '\0');
    const auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const std::uint32_t pixels = static_cast<std::uint32_t>(width) * 3u * static_cast<std::uint32_t>(height);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, 54 + pixels, 4); // file size
    put(10, 54, 4);         // pixel data offset
    put(14, 40, 4);         // info header size
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);  // planes
    put(28, 24, 2); // bits per pixel
    put(34, pixels, 4);
    return bytes;
}

TEST(PictureFault, SaysWhyAPictureCannotBeUsed)
{
    QImage source(30, 20, QImage::Format_RGB32);
    source.fill(Qt::blue);
    EXPECT_EQ(pictureFault(encode(source, "JPG")), "");
    EXPECT_EQ(pictureFault(encode(source, "BMP")), "");
    EXPECT_EQ(pictureFault(readPicture("gif87a.gif")), "");
    EXPECT_EQ(pictureFault(readPicture("premature-end.jpg")), ""); // shows, partly grey
    EXPECT_EQ(pictureFault(encode(source, "PNG")), "不能使用PNG格式的图片，请先把它转换成BMP、JPEG或GIF格式。");
    EXPECT_EQ(pictureFault("plain text"), "这不是BMP、JPEG或GIF格式的图片。");
    for (const char* name : {"invalid.1.bmp", "invalid.1.gif", "zero-height.gif", "CVE-2017-2862.jpg"})
        EXPECT_EQ(pictureFault(readPicture(name)), "图片文件已损坏，读不出图片。") << name;
    EXPECT_FALSE(pictureFault(readPicture("max-size.gif")).empty());
    // A BMP header claiming 10000 x 8000 pixels: a BMP cannot be decoded downscaled.
    EXPECT_EQ(pictureFault(bmpHeader(10000, 8000)),
              "图片太大（10000×8000像素），无法显示和打印；BMP和GIF图片最多6710万像素，请缩小或换成JPEG格式。");
    EXPECT_TRUE(decodePicture(bmpHeader(10000, 8000)).isNull());
    EXPECT_EQ(pictureRefusal("/tmp/a.png", encode(source, "PNG")),
              "无法使用这个图片：不能使用PNG格式的图片，请先把它转换成BMP、JPEG或GIF格式。\r\n（/tmp/a.png）");
    EXPECT_EQ(pictureRefusal("/tmp/a.jpg", encode(source, "JPG")), "");
}

TEST(PictureDecoder, ALargeJpegDecodesDownscaledButKeepsItsOwnSize)
{
    // A scan of 15000 x 8280 pixels (124 million, beyond what one picture may
    // hold): left half black, right half white.
    std::string jpeg;
    {
        QImage scan(15000, 8280, QImage::Format_Grayscale8);
        scan.fill(255);
        for (int y = 0; y < scan.height(); ++y)
            std::fill_n(scan.scanLine(y), 7500, uchar(0));
        jpeg = encode(scan, "JPG");
    }
    EXPECT_EQ(pictureNaturalSize(jpeg), QSize(15000, 8280));
    EXPECT_EQ(pictureFault(jpeg), "");

    const QImage shown = decodePictureForScreen(jpeg);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.width(), kMaxShownSide);
    EXPECT_NEAR(shown.height(), 4096 * 8280 / 15000, 1);
    // Its own size, to the rounding of one pixel of the smaller copy.
    EXPECT_NEAR(shown.deviceIndependentSize().width(), 15000, 0.01);
    EXPECT_NEAR(shown.deviceIndependentSize().height(), 8280, 15000.0 / 4096);
    EXPECT_LT(qGray(shown.pixel(100, 100)), 40);
    EXPECT_GT(qGray(shown.pixel(shown.width() - 100, 100)), 215);

    // Fitted into a place on paper, and with no place at all: within the limit.
    EXPECT_EQ(decodePicture(jpeg, QSize(1500, 2000)).size(), QSize(1500, 828));
    const QImage whole = decodePicture(jpeg);
    ASSERT_FALSE(whole.isNull());
    EXPECT_LE(static_cast<long long>(whole.width()) * whole.height(), kMaxPicturePixels);
    EXPECT_GT(whole.width(), 10000);
    EXPECT_NEAR(whole.deviceIndependentSize().width(), 15000, 0.01);
    EXPECT_NEAR(whole.deviceIndependentSize().height(), 8280, 2);

    // Printed from its own bytes: the page at 300 dpi gets both halves, and
    // the placement of a background reads the picture's own size.
    QImage paper(1200, 700, QImage::Format_RGB32);
    paper.setDotsPerMeterX(11811); // 300 dpi
    paper.setDotsPerMeterY(11811);
    paper.fill(Qt::red);
    {
        QPainter painter(&paper);
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        EXPECT_EQ(surface.pictureSize(jpeg), (PixelSize{15000, 8280}));
        surface.drawPicture(jpeg, 0, 0, 1000, 552); // 10 x 5.52 cm: 1181 x 652 pixels
    }
    EXPECT_LT(qGray(paper.pixel(200, 300)), 40);
    EXPECT_GT(qGray(paper.pixel(1000, 300)), 215);
    EXPECT_EQ(paper.pixel(1190, 300), QColor(Qt::red).rgb()); // nothing beyond its place
    EXPECT_EQ(paper.pixel(600, 660), QColor(Qt::red).rgb());

    // A small picture is never enlarged to its place.
    QImage small(30, 20, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QImage same = decodePicture(encode(small, "JPG"), QSize(3000, 2000));
    EXPECT_EQ(same.size(), QSize(30, 20));
    EXPECT_EQ(same.devicePixelRatio(), 1.0);
}

} // namespace
} // namespace ordavel
