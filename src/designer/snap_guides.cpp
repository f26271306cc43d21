#include "designer/snap_guides.h"

#include "model/board_zoom.h"

#include <QPainter>

namespace ordavel {

namespace {

const QColor kGuideColor(230, 0, 160);

} // namespace

SnapGuides::SnapGuides(const BoardZoom& zoom, QWidget* workbench) : QWidget(workbench), m_zoom(zoom)
{
    setObjectName(QStringLiteral("吸附参考线"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void SnapGuides::showGuides(std::optional<int> x, std::optional<int> y)
{
    m_x = x;
    m_y = y;
    if (!x && !y) {
        hide();
        return;
    }
    if (QWidget* board = parentWidget())
        setGeometry(board->rect());
    show();
    raise();
    update();
}

void SnapGuides::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(kGuideColor, 1, Qt::DashLine);
    painter.setPen(pen);
    if (m_x) {
        const int at = m_zoom.toView(*m_x);
        painter.drawLine(at, 0, at, height());
    }
    if (m_y) {
        const int at = m_zoom.toView(*m_y);
        painter.drawLine(0, at, width(), at);
    }
}

} // namespace ordavel
