#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace ordavel {

// The product picture: two overlaid form sheets, the lower one pre-printed,
// the upper one carrying the boxes that print onto it.
void paintLogo(QPainter& p, const QRectF& area)
{
    p.save();
    p.translate(area.topLeft());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x9d, 0xb4, 0xd6), 1.5));
    p.setBrush(QColor(0xee, 0xf3, 0xfa));
    p.drawRoundedRect(QRectF(0, 14, 84, 108), 4, 4);
    p.setPen(QPen(QColor(0xc3, 0xd1, 0xe6), 1.2));
    for (int y = 34; y < 116; y += 14)
        p.drawLine(QPointF(10, y), QPointF(74, y));
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x9a), 2));
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawRoundedRect(QRectF(26, 0, 84, 108), 4, 4);
    p.setPen(QPen(QColor(0x2f, 0x6f, 0xd0), 1.4, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(36, 16, 48, 12));
    p.drawRect(QRectF(36, 40, 64, 12));
    p.drawRect(QRectF(36, 64, 30, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x45, 0x3a));
    p.drawEllipse(QPointF(86, 79), 10, 10);
    p.restore();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        // The logo is drawn on a 112 x 124 grid; centre it in the square.
        const double scale = size / 128.0;
        painter.scale(scale, scale);
        paintLogo(painter, QRectF(8, 2, 112, 124));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ordavel
