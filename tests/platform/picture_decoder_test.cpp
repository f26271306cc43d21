#include "platform/picture_decoder.h"

#include <QBuffer>
#include <QFile>

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

} // namespace
} // namespace ordavel
