// Leptonica reads and writes the scan files.
#include "scan/scan_file.h"

#include "scan/picture_resolution.h"

#include <leptonica/allheaders.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace ordavel::scan {

namespace {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// Leptonica prints its own complaints to stderr; the caller reports failures itself.
void quietLeptonica()
{
    static const bool once = [] {
        setMsgSeverity(L_SEVERITY_NONE);
        return true;
    }();
    (void)once;
}

constexpr int kMaxSide = 20000;

std::optional<ScanImage> fromPix(PIX* raw, std::string* error)
{
    PixPtr pix(raw);
    if (!pix) {
        *error = "not a picture Leptonica can read (JPEG, PNG, BMP, TIFF)";
        return std::nullopt;
    }
    const int w = pixGetWidth(pix.get());
    const int h = pixGetHeight(pix.get());
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        *error = "the picture is empty or larger than 20000 pixels a side";
        return std::nullopt;
    }
    PixPtr rgb(pixConvertTo32(pix.get()));
    if (!rgb) {
        *error = "the picture's pixel format cannot be converted";
        return std::nullopt;
    }
    ScanImage scan;
    scan.dpiX = pixGetXRes(pix.get());
    scan.dpiY = pixGetYRes(pix.get());
    scan.picture.width = w;
    scan.picture.height = h;
    scan.picture.channels = 3;
    scan.picture.pixels.resize(static_cast<std::size_t>(w) * h * 3);
    const l_uint32* data = pixGetData(rgb.get());
    const int wpl = pixGetWpl(rgb.get());
    std::uint8_t* out = scan.picture.pixels.data();
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < w; ++x) {
            l_int32 r = 0, g = 0, b = 0;
            extractRGBValues(line[x], &r, &g, &b);
            *out++ = static_cast<std::uint8_t>(r);
            *out++ = static_cast<std::uint8_t>(g);
            *out++ = static_cast<std::uint8_t>(b);
        }
    }
    return scan;
}

} // namespace

std::optional<ScanImage> readScanBytes(const std::string& bytes, std::string* error)
{
    quietLeptonica();
    if (bytes.empty()) {
        *error = "the file is empty";
        return std::nullopt;
    }
    std::optional<ScanImage> scan = fromPix(pixReadMem(reinterpret_cast<const l_uint8*>(bytes.data()), bytes.size()), error);
    // JPEG, PNG and BMP headers are read here (Leptonica misses Exif and
    // Photoshop blocks); Leptonica's values stand for the other formats.
    if (scan) {
        if (const std::optional<Resolution> stated = statedResolution(bytes)) {
            scan->dpiX = stated->dpiX;
            scan->dpiY = stated->dpiY;
        }
    }
    return scan;
}

std::optional<ScanImage> readScanFile(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open the file";
        return std::nullopt;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return readScanBytes(bytes, error);
}

namespace {

PixPtr pixOf(const Picture& picture)
{
    if (picture.empty() || (picture.channels != 1 && picture.channels != 3))
        return {};
    PixPtr pix(pixCreate(picture.width, picture.height, picture.channels == 3 ? 32 : 8));
    if (!pix)
        return {};
    const std::uint8_t* in = picture.pixels.data();
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (picture.channels == 3) {
                l_uint32 value = 0;
                composeRGBPixel(in[0], in[1], in[2], &value);
                pixSetPixel(pix.get(), x, y, value);
                in += 3;
            } else {
                pixSetPixel(pix.get(), x, y, *in++);
            }
        }
    }
    return pix;
}

std::string takeBytes(l_uint8* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    lept_free(data);
    return bytes;
}

} // namespace

std::string encodeJpeg(const Picture& picture, int quality, double dpi)
{
    quietLeptonica();
    PixPtr pix = pixOf(picture);
    if (!pix)
        return {};
    if (dpi > 0)
        pixSetResolution(pix.get(), static_cast<l_int32>(dpi + 0.5), static_cast<l_int32>(dpi + 0.5));
    l_uint8* data = nullptr;
    size_t size = 0;
    if (pixWriteMemJpeg(&data, &size, pix.get(), quality, 0) != 0 || data == nullptr)
        return {};
    return takeBytes(data, size);
}

std::string encodePng(const Picture& picture)
{
    quietLeptonica();
    PixPtr pix = pixOf(picture);
    l_uint8* data = nullptr;
    size_t size = 0;
    if (!pix || pixWriteMemPng(&data, &size, pix.get(), 0.0f) != 0 || data == nullptr)
        return {};
    return takeBytes(data, size);
}

} // namespace ordavel::scan
