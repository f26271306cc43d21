#include "app/app_icon.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace ordavel {

namespace {

// The one drawing of the logo: data/icons/ordavel.svg, which is also what the
// installed icons are rendered from. Its 128 x 128 view box holds the logo at
// offset (8, 2).
QSvgRenderer& logoRenderer()
{
    static QSvgRenderer renderer(QStringLiteral(":/icons/ordavel.svg"));
    return renderer;
}

constexpr double kLogoLeft = 8;
constexpr double kLogoTop = 2;
constexpr double kViewBox = 128;

} // namespace

void paintLogo(QPainter& p, const QRectF& area)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    logoRenderer().render(&p, QRectF(area.left() - kLogoLeft, area.top() - kLogoTop, kViewBox, kViewBox));
    p.restore();
}

QIcon applicationIcon()
{
    QIcon icon;
    if (!logoRenderer().isValid())
        return icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        logoRenderer().render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ordavel
