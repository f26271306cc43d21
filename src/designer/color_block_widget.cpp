#include "designer/color_block_widget.h"

#include "designer/box_media.h"

#include <QMouseEvent>
#include <QPainter>

namespace ordavel {

ColorBlockWidget::ColorBlockWidget(QWidget* parent) : QWidget(parent) {}

void ColorBlockWidget::showBox(const Box& box)
{
    if (box.attributes.color == m_color)
        return;
    m_color = box.attributes.color;
    update();
}

void ColorBlockWidget::readInto(BoxAttributes& attributes) const { attributes.color = m_color; }

void ColorBlockWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(m_color));
}

void ColorBlockWidget::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ColorBlockWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click && onClicked)
        onClicked();
}

} // namespace ordavel
