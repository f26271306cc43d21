#include "designer/paper_panel.h"

#include "designer/background_picture.h"
#include "model/board_zoom.h"
#include "model/document.h"
#include "platform/painter_surface.h"
#include "print/box_render.h"

#include <QPainter>

namespace ordavel {

PaperPanel::PaperPanel(Document& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("画板_纸张背景"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaperPanel::setBackgroundPicture(const QImage& picture, int mode)
{
    m_picture = picture;
    m_pictureMode = mode;
    update();
}

void PaperPanel::paintEvent(QPaintEvent*)
{
    // Each paint starts from a blank sheet, so no earlier drawing survives.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_document.appMode() != AppMode::PreviewMode)
        return;
    // Drawn in board px and scaled, so that the zoomed preview is the same drawing.
    QRect board = rect();
    if (m_zoom && m_zoom->percent() != 100) {
        painter.scale(m_zoom->factor(), m_zoom->factor());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom->percent() < 100);
        board = QRect(0, 0, m_document.page().boardWidth, m_document.page().boardHeight);
    }
    paintBackgroundPicture(painter, m_picture, m_pictureMode, board);
    // The same drawing as on paper (target Preview: panel pixels). No yield in
    // here: a paint event must not let other events re-enter.
    PainterSurface surface(painter, PainterSurface::Units::Pixels);
    const BoxFilter view = m_boxView ? m_boxView() : BoxFilter();
    for (int index = 1; index <= m_document.slotCount(); ++index) {
        const Box& box = m_document.box(index);
        drawBox(view ? view(box) : m_withoutData.merged(box), RenderTarget::Preview, m_document.factors(), surface);
    }
}

} // namespace ordavel
