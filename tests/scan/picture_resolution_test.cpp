// The resolution a scan's file states. The test pictures are made here: a
// JPEG from the program's own encoder with its header blocks replaced by
// hand-written JFIF, Exif and Photoshop blocks, and PNGs written byte by byte
// (stored deflate, so no compressor is needed).
#include "scan/picture_resolution.h"
#include "scan/scan_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ordavel::scan {
namespace {

std::string big16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
std::string big32(std::uint32_t v) { return big16(v >> 16) + big16(v & 0xFFFF); }
std::string little16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string little32(std::uint32_t v) { return little16(v & 0xFFFF) + little16(v >> 16); }

std::string segment(unsigned marker, const std::string& data)
{
    return std::string{'\xFF', static_cast<char>(marker)} + big16(static_cast<unsigned>(data.size() + 2)) + data;
}

std::string jfif(int units, unsigned x, unsigned y)
{
    return segment(0xE0, std::string("JFIF\0\x01\x02", 7) + static_cast<char>(units) + big16(x) + big16(y) + std::string(2, '\0'));
}

// Exif with IFD0 holding XResolution, YResolution and ResolutionUnit, in either byte order.
std::string exif(bool little, std::uint32_t dpi, unsigned unit)
{
    const auto u16 = [&](unsigned v) { return little ? little16(v) : big16(v); };
    const auto u32 = [&](std::uint32_t v) { return little ? little32(v) : big32(v); };
    const std::uint32_t rationals = 8 + 2 + 3 * 12 + 4;
    std::string tiff = std::string(little ? "II" : "MM") + u16(42) + u32(8) + u16(3);
    tiff += u16(0x011A) + u16(5) + u32(1) + u32(rationals);
    tiff += u16(0x011B) + u16(5) + u32(1) + u32(rationals + 8);
    tiff += u16(0x0128) + u16(3) + u32(1) + u16(unit) + u16(0);
    tiff += u32(0) + u32(dpi * 10) + u32(10) + u32(dpi * 10) + u32(10);
    return segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

// Photoshop's image resources: an unrelated one first, then ResolutionInfo.
std::string photoshop(double dpiX, double dpiY)
{
    std::string resources = std::string("8BIM") + big16(0x0404) + std::string(2, '\0') + big32(3) + "abc" + '\0';
    const auto fixed = [](double v) { return big32(static_cast<std::uint32_t>(v * 65536.0)); };
    const std::string info = fixed(dpiX) + big16(1) + big16(1) + fixed(dpiY) + big16(1) + big16(1);
    resources += std::string("8BIM") + big16(0x03ED) + std::string(2, '\0') + big32(static_cast<std::uint32_t>(info.size())) + info;
    return segment(0xED, std::string("Photoshop 3.0\0", 14) + resources);
}

// A real 16 x 16 JPEG whose blocks before the picture data are `blocks`
// (its own JFIF block dropped).
std::string jpegWith(const std::string& blocks)
{
    Picture grey;
    grey.width = grey.height = 16;
    grey.pixels.assign(256, 200);
    const std::string encoded = encodeJpeg(grey, 90, 0);
    EXPECT_GT(encoded.size(), 20u);
    std::size_t rest = 2;
    if (static_cast<unsigned char>(encoded[3]) == 0xE0)
        rest = 4 + ((static_cast<unsigned char>(encoded[4]) << 8) | static_cast<unsigned char>(encoded[5]));
    return encoded.substr(0, 2) + blocks + encoded.substr(rest);
}

std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string chunk(const std::string& type, const std::string& data)
{
    return big32(static_cast<std::uint32_t>(data.size())) + type + data + big32(crc32(type + data));
}

// A 2 x 2 grey PNG, with a pHYs chunk when `unit` is 0 or 1.
std::string png(std::uint32_t perUnitX, std::uint32_t perUnitY, int unit)
{
    const std::string rows("\0\x80\x80\0\x80\x80", 6); // filter byte and two pixels a row
    std::uint32_t a = 1, b = 0;
    for (const char c : rows) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    const std::string deflate = std::string("\x78\x01\x01", 3) + little16(6) + little16(0xFFFF ^ 6) + rows + big32(b << 16 | a);
    std::string file("\x89PNG\r\n\x1A\n", 8);
    file += chunk("IHDR", big32(2) + big32(2) + std::string("\x08\0\0\0\0", 5));
    if (unit >= 0)
        file += chunk("pHYs", big32(perUnitX) + big32(perUnitY) + static_cast<char>(unit));
    file += chunk("IDAT", deflate) + chunk("IEND", "");
    return file;
}

// The dpi a scan reads with, through the same reader the program uses.
std::pair<double, double> readDpi(const std::string& bytes)
{
    std::string error;
    const auto image = readScanBytes(bytes, &error);
    EXPECT_TRUE(image) << error;
    return image ? std::pair(image->dpiX, image->dpiY) : std::pair(-1.0, -1.0);
}

TEST(PictureResolution, JpegResolutionComesFromJfifExifOrPhotoshopBlocks)
{
    EXPECT_EQ(readDpi(jpegWith(jfif(1, 72, 72))), std::pair(72.0, 72.0));
    EXPECT_EQ(readDpi(jpegWith(jfif(1, 300, 150))), std::pair(300.0, 150.0));
    const auto perCm = readDpi(jpegWith(jfif(2, 118, 118)));
    EXPECT_NEAR(perCm.first, 299.72, 1e-9);
    // A JFIF block giving only the aspect ratio leaves the word to the others.
    EXPECT_EQ(readDpi(jpegWith(jfif(0, 1, 1) + photoshop(150, 150))), std::pair(150.0, 150.0));
    EXPECT_EQ(readDpi(jpegWith(photoshop(150, 150))), std::pair(150.0, 150.0));
    EXPECT_EQ(readDpi(jpegWith(jfif(0, 1, 1) + exif(true, 300, 2))), std::pair(300.0, 300.0));
    EXPECT_EQ(readDpi(jpegWith(exif(false, 200, 2) + photoshop(150, 150))), std::pair(200.0, 200.0));
    const auto exifCm = readDpi(jpegWith(exif(false, 40, 3)));
    EXPECT_NEAR(exifCm.second, 101.6, 1e-9);
    // Exif's "no unit" and a bare aspect ratio state no resolution.
    EXPECT_EQ(readDpi(jpegWith(exif(true, 300, 1))), std::pair(0.0, 0.0));
    EXPECT_EQ(readDpi(jpegWith(jfif(0, 1, 1))), std::pair(0.0, 0.0));
    EXPECT_EQ(readDpi(jpegWith("")), std::pair(0.0, 0.0));
    // Half-written blocks are no resolution, not a crash or a guess.
    const std::string cut = jpegWith(photoshop(150, 150)).substr(0, 30);
    EXPECT_EQ(statedResolution(cut), Resolution{});
    std::string badExif = exif(true, 300, 2);
    badExif[14] = '\x7F'; // the IFD offset points past the block
    EXPECT_EQ(readDpi(jpegWith(badExif)), std::pair(0.0, 0.0));
}

TEST(PictureResolution, PngResolutionComesFromPhysInPixelsPerMetre)
{
    // 2835 pixels per metre is 72.009 dpi: read as the 72 it was written as.
    EXPECT_EQ(readDpi(png(2835, 2835, 1)), std::pair(72.0, 72.0));
    EXPECT_EQ(readDpi(png(11811, 5906, 1)), std::pair(300.0, 150.0));
    const auto odd = readDpi(png(4000, 4000, 1));
    EXPECT_NEAR(odd.first, 101.6, 1e-9);
    // Unknown unit (an aspect ratio) or no pHYs at all: no resolution.
    EXPECT_EQ(readDpi(png(1, 1, 0)), std::pair(0.0, 0.0));
    EXPECT_EQ(readDpi(png(0, 0, -1)), std::pair(0.0, 0.0));
}

TEST(PictureResolution, OtherFormatsAreLeftToTheDecoder)
{
    std::string bmp = "BM" + std::string(12, '\0') + little32(40) + std::string(20, '\0') + little32(3937) + little32(3937);
    EXPECT_EQ(statedResolution(bmp), (Resolution{100.0, 100.0}));
    EXPECT_FALSE(statedResolution("II*\0 a TIFF file"));
    EXPECT_FALSE(statedResolution(""));
}

} // namespace
} // namespace ordavel::scan
