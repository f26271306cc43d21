#include "platform/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace ordavel {

namespace {

// The format is decided by the file's signature, never by Qt's guess, so
// that a PNG (or anything else) is refused even though Qt could read it.
const char* formatOf(std::string_view bytes)
{
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return "bmp";
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF)
        return "jpeg";
    if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a"))
        return "gif";
    return nullptr;
}

} // namespace

QImage decodePicture(std::string_view bytes)
{
    const char* format = formatOf(bytes);
    if (format == nullptr)
        return {};
    // The buffer reads the caller's bytes in place; nothing outlives this call.
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    // A header may claim an absurd size: refuse before any pixel is allocated.
    const QSize claimed = reader.size();
    if (claimed.isValid()
        && static_cast<long long>(claimed.width()) * claimed.height() > kMaxPicturePixels)
        return {};
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

} // namespace ordavel
