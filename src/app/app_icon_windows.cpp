#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace ordavel {

// On Windows the logo comes as pictures rendered from data/icons/ordavel.svg
// when the program is built (no SVG module there): one per icon size, and the
// 256-pixel one for the splash window. Its 128 x 128 view box holds the logo
// at offset (8, 2).

namespace {

constexpr double kLogoLeft = 8;
constexpr double kLogoTop = 2;
constexpr double kViewBox = 128;

QString pictureOfSize(int size) { return QStringLiteral(":/icons/ordavel-%1.png").arg(size); }

} // namespace

void paintLogo(QPainter& p, const QRectF& area)
{
    static const QPixmap logo(pictureOfSize(256));
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRectF(area.left() - kLogoLeft, area.top() - kLogoTop, kViewBox, kViewBox), logo, logo.rect());
    p.restore();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QPixmap pixmap(pictureOfSize(size));
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ordavel
