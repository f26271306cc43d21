#pragma once
// The resolution a picture file states in its own header, read without
// decoding it: JPEG (JFIF, Exif and Photoshop resolution blocks), PNG (pHYs)
// and BMP (pixels per metre).

#include <optional>
#include <string_view>

namespace ordavel::scan {

struct Resolution {
    double dpiX = 0;
    double dpiY = 0;
    friend bool operator==(const Resolution&, const Resolution&) = default;
};

// The dots per inch `bytes` state: zeros when the file states none (JFIF
// giving only an aspect ratio, pHYs of unknown unit, zero densities),
// nullopt when it is not JPEG, PNG or BMP. In a JPEG a JFIF density in inches or centimetres comes first,
// then Exif's, then Photoshop's. Values within 0.05 of a whole number are
// rounded to it, so that 2835 pixels per metre is 72 dpi.
std::optional<Resolution> statedResolution(std::string_view bytes);

} // namespace ordavel::scan
