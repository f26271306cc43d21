#include "designer/rubber_band.h"

#include "model/board_zoom.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace ordavel {

namespace {

constexpr int kParkedAt = -10;

} // namespace

RubberBand::RubberBand(QWidget* workbench, const BoardZoom* zoom) : m_zoom(zoom)
{
    static const char* const names[LineCount] = {"外形框_矩形_上边线", "外形框_矩形_下边线",
                                                 "外形框_矩形_左边线", "外形框_矩形_右边线"};
    for (int which = 0; which < LineCount; ++which) {
        auto* line = new QWidget(workbench);
        line->setObjectName(QString::fromUtf8(names[which]));
        line->setAutoFillBackground(true);
        QPalette black = line->palette();
        black.setColor(QPalette::Window, Qt::black);
        line->setPalette(black);
        // The band never takes the mouse: moves and the release go on to the workbench.
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->hide();
        m_lines[static_cast<std::size_t>(which)] = line;
    }
    place(kParkedAt, kParkedAt, 0, 0);
}

void RubberBand::place(int left, int top, int right, int bottom)
{
    m_rect = Rect{left, top, right - left, bottom - top};
    if (m_zoom) {
        left = m_zoom->toView(left);
        top = m_zoom->toView(top);
        right = m_zoom->toView(right);
        bottom = m_zoom->toView(bottom);
    }
    const int width = right - left;
    const int height = bottom - top;
    line(Top)->setGeometry(left, top, width, 1);
    line(Left)->setGeometry(left, top, 1, height);
    line(Bottom)->setGeometry(left, bottom, width, 1);
    line(Right)->setGeometry(right, top, 1, height);
}

void RubberBand::start(int x, int y)
{
    place(x, y, x, y);
    for (QWidget* l : m_lines) {
        l->show();
        l->raise();
    }
}

void RubberBand::track(int startX, int startY, int x, int y)
{
    if (x == startX || y == startY) {
        place(0, 0, 0, 0);
        return;
    }
    place(std::min(x, startX), std::min(y, startY), std::max(x, startX), std::max(y, startY));
}

void RubberBand::finish()
{
    place(kParkedAt, kParkedAt, 0, 0);
    for (QWidget* l : m_lines)
        l->hide();
}

bool RubberBand::isVisible() const { return !line(Top)->isHidden(); }

} // namespace ordavel
