#include "designer/workbench.h"

#include "designer/background_picture.h"
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
    paintBackgroundPicture(painter, m_picture, page.imgShowType, rect());
}

void Workbench::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    m_document.setStatusText(PanelMouse, mouseStatus(at.x(), at.y()));
    emit mouseMoved(at);
    QWidget::mouseMoveEvent(event);
}

} // namespace ordavel
