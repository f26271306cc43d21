#include "designer/workbench.h"

#include "designer/background_picture.h"
#include "model/board_zoom.h"
#include "model/document.h"
#include "platform/painter_surface.h"

#include <QMouseEvent>
#include <QPainter>

namespace ordavel {

Workbench::Workbench(Document& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("画板_工作台"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Workbench::reloadPicture()
{
    m_picture = decodeBackground(m_document.page().background);
    update();
}

void Workbench::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const PageSettings& page = m_document.page();
    painter.fillRect(rect(), toQColor(page.bgColor));
    if (m_picture.isNull())
        return;
    // The picture is laid out on the board in board px, then shown at the zoom.
    QRect board = rect();
    if (m_zoom && m_zoom->percent() != 100) {
        painter.scale(m_zoom->factor(), m_zoom->factor());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom->percent() < 100);
        board = QRect(0, 0, page.boardWidth, page.boardHeight);
    }
    paintBackgroundPicture(painter, m_picture, page.imgShowType, board);
}

void Workbench::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF view = event->position();
    const QPoint at = m_zoom ? QPoint(m_zoom->toBoard(view.x()), m_zoom->toBoard(view.y())) : view.toPoint();
    m_document.setStatusText(PanelMouse, mouseStatus(at.x(), at.y()));
    emit mouseMoved(at);
    // Taken here: passed on, it would reach the background panel, which then
    // reports the mouse out of bounds while a band or a box is dragged.
    event->accept();
}

} // namespace ordavel
