#pragma once
// Decoding of picture file bytes for drawing: BMP, JPEG and GIF only.

#include <QImage>

#include <string_view>

namespace ordavel {

// The first frame of a BMP, JPEG or GIF file held in `bytes`. PNG and every
// other format, damaged data and pictures too large to hold (more than
// kMaxPicturePixels pixels) give a null QImage; it never throws.
QImage decodePicture(std::string_view bytes);

inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;

} // namespace ordavel
