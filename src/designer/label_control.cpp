#include "designer/label_control.h"

#include "designer/box_media.h"
#include "designer/edit_box_control.h"

#include <QPainter>

namespace ordavel {

LabelControl::LabelControl(QWidget* parent) : QFrame(parent) {}

Qt::Alignment LabelControl::alignment(int hAlign, int vAlign)
{
    const Qt::Alignment horizontal = hAlign == 1 ? Qt::AlignHCenter : hAlign == 2 ? Qt::AlignRight : Qt::AlignLeft;
    const Qt::Alignment vertical = vAlign == 1 ? Qt::AlignVCenter : vAlign == 2 ? Qt::AlignBottom : Qt::AlignTop;
    return horizontal | vertical;
}

void LabelControl::showBox(const ordavel::Box& box)
{
    const BoxAttributes& a = box.attributes;
    if (m_hasShown && a == m_shown)
        return;
    m_hasShown = true;
    m_shown = a;
    setFont(boxFont(a.font));
    switch (a.effect) {
    case 1: setFrameStyle(QFrame::WinPanel | QFrame::Sunken); break;
    case 2: setFrameStyle(QFrame::WinPanel | QFrame::Raised); break;
    default: setFrameStyle(QFrame::NoFrame); break;
    }
    update();
}

void LabelControl::readInto(BoxAttributes& /*attributes*/) const {}

void LabelControl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(m_shown.bgColor));
    drawFrame(&painter);
    painter.setFont(font());
    int flags = static_cast<int>(alignment(m_shown.hAlign, m_shown.vAlign));
    if (m_shown.wordWrap)
        flags |= Qt::TextWordWrap;
    const QString caption = displayText(m_shown.text);
    const QRect area = contentsRect();
    if (m_shown.effect == 3) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawText(area.translated(1, 1), flags, caption);
    }
    painter.setPen(toQColor(m_shown.textColor));
    painter.drawText(area, flags, caption);
}

} // namespace ordavel
