// Reading the resolution fields of picture headers by hand: Leptonica knows
// only JFIF's density and takes a JPEG's aspect ratio or missing block for a
// resolution of its own choosing.
#include "scan/picture_resolution.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace ordavel::scan {

namespace {

constexpr double kCmPerInch = 2.54;

std::uint32_t byteAt(std::string_view b, std::size_t i) { return static_cast<unsigned char>(b[i]); }

std::uint32_t big16(std::string_view b, std::size_t i) { return byteAt(b, i) << 8 | byteAt(b, i + 1); }
std::uint32_t big32(std::string_view b, std::size_t i) { return big16(b, i) << 16 | big16(b, i + 2); }
std::uint32_t little16(std::string_view b, std::size_t i) { return byteAt(b, i) | byteAt(b, i + 1) << 8; }
std::uint32_t little32(std::string_view b, std::size_t i) { return little16(b, i) | little16(b, i + 2) << 16; }

double tidy(double dpi)
{
    const double whole = std::round(dpi);
    return std::abs(dpi - whole) < 0.05 ? whole : dpi;
}

std::optional<Resolution> make(double x, double y)
{
    if (!(x > 0) || !(y > 0) || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return Resolution{tidy(x), tidy(y)};
}

// APP0 "JFIF\0": version (2), units (0 aspect only, 1 per inch, 2 per cm), X and Y density.
std::optional<Resolution> jfif(std::string_view data)
{
    if (data.size() < 12 || data.substr(0, 5) != std::string_view("JFIF\0", 5))
        return std::nullopt;
    const std::uint32_t units = byteAt(data, 7);
    const double x = big16(data, 8);
    const double y = big16(data, 10);
    if (units == 1)
        return make(x, y);
    if (units == 2)
        return make(x * kCmPerInch, y * kCmPerInch);
    return std::nullopt;
}

// APP1 "Exif\0\0" then a TIFF header: XResolution (0x11A) and YResolution
// (0x11B) as rationals in IFD0, ResolutionUnit (0x128) 2 inch (the default), 3 cm, 1 none.
std::optional<Resolution> exif(std::string_view data)
{
    if (data.size() < 14 || data.substr(0, 6) != std::string_view("Exif\0\0", 6))
        return std::nullopt;
    const std::string_view tiff = data.substr(6);
    const bool little = tiff.substr(0, 2) == "II";
    if (!little && tiff.substr(0, 2) != "MM")
        return std::nullopt;
    const auto u16 = [&](std::size_t i) { return little ? little16(tiff, i) : big16(tiff, i); };
    const auto u32 = [&](std::size_t i) { return little ? little32(tiff, i) : big32(tiff, i); };
    if (u16(2) != 42)
        return std::nullopt;
    const std::size_t ifd = u32(4);
    if (ifd + 2 > tiff.size())
        return std::nullopt;
    const std::size_t count = u16(ifd);
    double x = 0;
    double y = 0;
    std::uint32_t unit = 2;
    const auto rational = [&](std::size_t entry) -> double {
        const std::size_t at = u32(entry + 8);
        if (u16(entry + 2) != 5 || at + 8 > tiff.size())
            return 0;
        const std::uint32_t denominator = u32(at + 4);
        return denominator == 0 ? 0 : static_cast<double>(u32(at)) / denominator;
    };
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t entry = ifd + 2 + 12 * k;
        if (entry + 12 > tiff.size())
            break;
        const std::uint32_t tag = u16(entry);
        if (tag == 0x011A)
            x = rational(entry);
        else if (tag == 0x011B)
            y = rational(entry);
        else if (tag == 0x0128 && u16(entry + 2) == 3)
            unit = u16(entry + 8);
    }
    if (unit == 3)
        return make(x * kCmPerInch, y * kCmPerInch);
    if (unit == 2)
        return make(x, y);
    return std::nullopt;
}

// APP13 "Photoshop 3.0\0": image resources "8BIM", id, padded Pascal name,
// size, padded data. ResolutionInfo (0x03ED) holds the horizontal and
// vertical resolution as 16.16 fixed-point pixels per inch, whatever unit it
// is shown in.
std::optional<Resolution> photoshop(std::string_view data)
{
    constexpr std::string_view kSignature("Photoshop 3.0\0", 14);
    if (data.substr(0, kSignature.size()) != kSignature)
        return std::nullopt;
    std::size_t at = kSignature.size();
    while (at + 7 <= data.size() && data.substr(at, 4) == "8BIM") {
        const std::uint32_t id = big16(data, at + 4);
        std::size_t name = 1 + byteAt(data, at + 6);
        name += name % 2;
        const std::size_t sizeAt = at + 6 + name;
        if (sizeAt + 4 > data.size())
            break;
        const std::size_t size = big32(data, sizeAt);
        const std::size_t body = sizeAt + 4;
        if (size > data.size() - body)
            break;
        if (id == 0x03ED && size >= 16)
            return make(big32(data, body) / 65536.0, big32(data, body + 8) / 65536.0);
        at = body + size + size % 2;
    }
    return std::nullopt;
}

std::optional<Resolution> jpeg(std::string_view b)
{
    std::optional<Resolution> fromJfif;
    std::optional<Resolution> fromExif;
    std::optional<Resolution> fromPhotoshop;
    std::size_t at = 2;
    // The markers before the first scan: each FF xx with a two-byte length.
    while (at + 4 <= b.size() && byteAt(b, at) == 0xFF) {
        const std::uint32_t marker = byteAt(b, at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const std::size_t length = big16(b, at + 2);
        if (length < 2 || at + 2 + length > b.size())
            break;
        const std::string_view data = b.substr(at + 4, length - 2);
        if (marker == 0xE0 && !fromJfif)
            fromJfif = jfif(data);
        else if (marker == 0xE1 && !fromExif)
            fromExif = exif(data);
        else if (marker == 0xED && !fromPhotoshop)
            fromPhotoshop = photoshop(data);
        at += 2 + length;
    }
    return fromJfif ? fromJfif : fromExif ? fromExif : fromPhotoshop;
}

std::optional<Resolution> png(std::string_view b)
{
    std::size_t at = 8;
    while (at + 12 <= b.size()) {
        const std::size_t length = big32(b, at);
        const std::string_view type = b.substr(at + 4, 4);
        if (length > b.size() - at - 12)
            break;
        if (type == "pHYs" && length >= 9) {
            if (byteAt(b, at + 16) != 1)
                return std::nullopt; // aspect ratio only
            const double perMetre = 0.0254;
            return make(big32(b, at + 8) * perMetre, big32(b, at + 12) * perMetre);
        }
        if (type == "IDAT" || type == "IEND")
            break; // pHYs comes before the image data
        at += 12 + length;
    }
    return std::nullopt;
}

std::optional<Resolution> bmp(std::string_view b)
{
    // BITMAPINFOHEADER and its successors: biXPelsPerMeter at 38, biYPelsPerMeter at 42.
    if (b.size() < 46 || little32(b, 14) < 40)
        return std::nullopt;
    const auto x = static_cast<std::int32_t>(little32(b, 38));
    const auto y = static_cast<std::int32_t>(little32(b, 42));
    return make(x * 0.0254, y * 0.0254);
}

} // namespace

std::optional<Resolution> statedResolution(std::string_view bytes)
{
    std::optional<Resolution> stated;
    if (bytes.size() >= 4 && byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xD8)
        stated = jpeg(bytes);
    else if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8))
        stated = png(bytes);
    else if (bytes.substr(0, 2) == "BM")
        stated = bmp(bytes);
    else
        return std::nullopt;
    return stated.value_or(Resolution{});
}

} // namespace ordavel::scan
