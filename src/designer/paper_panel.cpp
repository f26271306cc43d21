#include "designer/paper_panel.h"

#include "designer/background_picture.h"
#include "model/document.h"

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
    paintBackgroundPicture(painter, m_picture, m_pictureMode, rect());
}

} // namespace ordavel
