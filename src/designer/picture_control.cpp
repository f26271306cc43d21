#include "designer/picture_control.h"

#include "designer/box_media.h"

#include <QPainter>

namespace ordavel {

PictureControl::PictureControl(QWidget* parent) : QFrame(parent) { setDesignLook(true); }

void PictureControl::showBox(const ordavel::Box& box)
{
    const BoxAttributes& a = box.attributes;
    bool changed = false;
    if (a.picture != m_pictureBytes) {
        m_pictureBytes = a.picture;
        m_image = boxPicture(m_pictureBytes);
        changed = true;
    }
    const QColor background = toQColor(a.bgColor);
    if (background != m_background || a.pictureMode != m_mode) {
        m_background = background;
        m_mode = a.pictureMode;
        changed = true;
    }
    if (changed)
        update();
}

void PictureControl::readInto(BoxAttributes& /*attributes*/) const {}

void PictureControl::setDesignLook(bool design)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(design ? 2 : 1);
}

void PictureControl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.fillRect(area, m_background);
    if (!m_image.isNull()) {
        painter.setClipRect(area);
        // A large picture is held downscaled; it covers its own size all the same.
        const QSize own = m_image.deviceIndependentSize().toSize();
        if (m_mode == 1) {
            painter.drawImage(area, m_image);
        } else if (m_mode == 2) {
            const QRect placed(QPoint(0, 0), own);
            painter.drawImage(placed.translated(area.center() - placed.center()), m_image);
        } else {
            painter.drawImage(QRect(area.topLeft(), own), m_image);
        }
        painter.setClipping(false);
    }
    drawFrame(&painter);
}

} // namespace ordavel
