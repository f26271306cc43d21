#include "platform/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>

#include <algorithm>
#include <cmath>

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

bool isPng(std::string_view bytes) { return bytes.size() >= 4 && bytes.substr(0, 4) == "\x89PNG"; }

long long pixelsOf(QSize size) { return static_cast<long long>(size.width()) * size.height(); }

// A reader over the caller's bytes, read in place; it lives as long as the
// object and must not outlive the bytes.
class PictureReader {
public:
    explicit PictureReader(std::string_view bytes)
        : m_data(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))), m_buffer(&m_data)
    {
        const char* format = formatOf(bytes);
        if (format == nullptr || !m_buffer.open(QIODevice::ReadOnly))
            return;
        m_reader.setDevice(&m_buffer);
        m_reader.setFormat(format);
        m_reader.setDecideFormatFromContent(false);
        m_reader.setAutoTransform(false);
        m_open = true;
    }
    bool open() const { return m_open; }
    QImageReader& reader() { return m_reader; }

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
    bool m_open = false;
};

// `size` shrunk, keeping its proportions, to at most kMaxPicturePixels.
QSize withinPixelLimit(QSize size)
{
    const long long pixels = pixelsOf(size);
    if (pixels <= kMaxPicturePixels)
        return size;
    const double factor = std::sqrt(static_cast<double>(kMaxPicturePixels) / static_cast<double>(pixels));
    return QSize(std::max(1, static_cast<int>(size.width() * factor)), std::max(1, static_cast<int>(size.height() * factor)));
}

} // namespace

QImage decodePicture(std::string_view bytes, QSize fitWithin)
{
    PictureReader picture(bytes);
    if (!picture.open())
        return {};
    QImageReader& reader = picture.reader();
    const QSize natural = reader.size();
    QSize target = natural;
    if (natural.isValid() && !natural.isEmpty()) {
        if (fitWithin.isValid() && (natural.width() > fitWithin.width() || natural.height() > fitWithin.height()))
            target = natural.scaled(fitWithin.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        target = withinPixelLimit(target);
    }
    const bool downscaled = target != natural;
    if (downscaled) {
        if (reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(target);
        else if (pixelsOf(natural) > kMaxPicturePixels)
            return {}; // a header may claim an absurd size: refused before any pixel is allocated
    }
    // Qt's own limit (MB) would refuse pictures this decoder takes. A JPEG is
    // decoded at the eighth-step scale at or above the target before the last
    // smooth scaling, up to four times the target's pixels.
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 * 4 / (1024 * 1024)) + 1);
    QImage image;
    if (!reader.read(&image))
        return {};
    if (downscaled) {
        if (image.size() != target)
            image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setDevicePixelRatio(static_cast<double>(image.width()) / natural.width());
    }
    return image;
}

QImage decodePictureForScreen(std::string_view bytes)
{
    return decodePicture(bytes, QSize(kMaxShownSide, kMaxShownSide));
}

QSize pictureNaturalSize(std::string_view bytes)
{
    PictureReader picture(bytes);
    return picture.open() ? picture.reader().size() : QSize();
}

std::string pictureFault(std::string_view bytes)
{
    if (isPng(bytes))
        return "不能使用PNG格式的图片，请先把它转换成BMP、JPEG或GIF格式。";
    if (formatOf(bytes) == nullptr)
        return "这不是BMP、JPEG或GIF格式的图片。";
    PictureReader picture(bytes);
    const QSize natural = picture.open() ? picture.reader().size() : QSize();
    if (!natural.isValid() || natural.isEmpty())
        return "图片文件已损坏，读不出图片。";
    const bool scalable = picture.reader().supportsOption(QImageIOHandler::ScaledSize);
    if (!scalable && pixelsOf(natural) > kMaxPicturePixels)
        return "图片太大（" + std::to_string(natural.width()) + "×" + std::to_string(natural.height())
               + "像素），无法显示和打印；BMP和GIF图片最多" + std::to_string(kMaxPicturePixels / 10000)
               + "万像素，请缩小或换成JPEG格式。";
    // Decoded small, which is quick for a JPEG: damage past the header shows.
    if (decodePicture(bytes, QSize(256, 256)).isNull())
        return "图片文件已损坏，读不出图片。";
    return {};
}

std::string pictureRefusal(const std::string& path, std::string_view bytes)
{
    const std::string fault = pictureFault(bytes);
    return fault.empty() ? fault : "无法使用这个图片：" + fault + "\r\n（" + path + "）";
}

} // namespace ordavel
