#pragma once
// Decoding of picture file bytes for drawing: BMP, JPEG and GIF only.

#include <QImage>
#include <QSize>

#include <string>
#include <string_view>

namespace ordavel {

// The most pixels one decoded picture may hold (256 MB at 4 bytes a pixel).
inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;
// The board shows pictures at most this many pixels wide and high; larger
// ones are shown downscaled (they still print from their own bytes).
inline constexpr int kMaxShownSide = 4096;

// The first frame of a BMP, JPEG or GIF file held in `bytes`. PNG and every
// other format and damaged data give a null QImage; it never throws.
// A picture larger than `fitWithin` (when valid), or than kMaxPicturePixels,
// is decoded downscaled to fit, keeping its proportions: a JPEG straight from
// the file at the smaller size, the others after a full decode, which is
// refused (a null QImage) when the full picture is beyond kMaxPicturePixels.
// A downscaled picture keeps its own size as its device-independent size
// (QImage::deviceIndependentSize), so it draws where the full one would.
QImage decodePicture(std::string_view bytes, QSize fitWithin = QSize());

// decodePicture fitted within kMaxShownSide both ways: what the board shows.
QImage decodePictureForScreen(std::string_view bytes);

// The picture's own size in pixels as its header gives it, without decoding
// it; an invalid size for bytes that are not a BMP, JPEG or GIF picture.
QSize pictureNaturalSize(std::string_view bytes);

// Why the picture in `bytes` cannot be shown or printed, in the user's words
// (a PNG, another format, a damaged file, a picture too large to decode);
// empty when it can.
std::string pictureFault(std::string_view bytes);

// The message text refusing the picture file `path` holding `bytes`
// ("无法使用这个图片：" + pictureFault + "\r\n（" + path + "）"); empty when the
// picture can be used.
std::string pictureRefusal(const std::string& path, std::string_view bytes);

} // namespace ordavel
