#include "designer/background_picture.h"

#include "platform/picture_decoder.h"

#include <QPainter>
#include <QRect>

namespace ordavel {

QImage decodeBackground(const std::string& bytes)
{
    return bytes.empty() ? QImage() : decodePicture(bytes);
}

void paintBackgroundPicture(QPainter& painter, const QImage& picture, int mode, const QRect& area)
{
    if (picture.isNull())
        return;
    switch (mode) {
    case 1:
        painter.drawImage(area, picture);
        break;
    case 2:
        painter.drawImage(area.left() + (area.width() - picture.width()) / 2,
                          area.top() + (area.height() - picture.height()) / 2, picture);
        break;
    default:
        painter.drawImage(area.topLeft(), picture);
        break;
    }
}

} // namespace ordavel
