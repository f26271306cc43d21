#include "designer/label_control.h"

#include "designer/box_media.h"
#include "designer/edit_box_control.h"
#include "print/cell_text.h"

#include <QPainter>

#include <cmath>

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
    const QRect area = contentsRect();
    const auto draw = [&](const QRect& where, int how, const QString& text) {
        if (m_shown.effect == 3) {
            painter.setPen(QColor(128, 128, 128));
            painter.drawText(where.translated(1, 1), how, text);
        }
        painter.setPen(toQColor(m_shown.textColor));
        painter.drawText(where, how, text);
    };
    if (m_shown.cellCount <= 0) {
        draw(area, flags, displayText(m_shown.text));
        return;
    }
    // One character a cell, centred across it on the top line, as the label
    // prints; a caption longer than its cells prints nothing and shows nothing.
    const auto cells = cellCharacters(m_shown.text, m_shown.cellCount, m_shown.yenBeforeFirst);
    if (!cells)
        return;
    const double cellWidth = static_cast<double>(area.width()) / m_shown.cellCount;
    for (std::size_t i = 0; i < cells->size(); ++i) {
        if ((*cells)[i].empty())
            continue;
        const int left = area.left() + static_cast<int>(std::lround(cellWidth * static_cast<double>(i)));
        const int right = area.left() + static_cast<int>(std::lround(cellWidth * static_cast<double>(i + 1)));
        draw(QRect(left, area.top(), right - left, area.height()), Qt::AlignTop | Qt::AlignHCenter,
             QString::fromStdString((*cells)[i]));
    }
}

} // namespace ordavel
