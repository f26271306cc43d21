#include "designer/background_picture.h"

#include "platform/picture_decoder.h"

#include <QPainter>
#include <QRect>

namespace ordavel {

QImage decodeBackground(const std::string& bytes)
{
    return bytes.empty() ? QImage() : decodePictureForScreen(bytes);
}

void paintBackgroundPicture(QPainter& painter, const QImage& picture, int mode, const QRect& area)
{
    if (picture.isNull())
        return;
    // A large picture is held downscaled; it covers its own size all the same.
    const QSize own = picture.deviceIndependentSize().toSize();
    switch (mode) {
    case 1:
        painter.drawImage(area, picture);
        break;
    case 2:
        painter.drawImage(QRect(QPoint(area.left() + (area.width() - own.width()) / 2,
                                       area.top() + (area.height() - own.height()) / 2),
                                own),
                          picture);
        break;
    default:
        painter.drawImage(QRect(area.topLeft(), own), picture);
        break;
    }
}

} // namespace ordavel
