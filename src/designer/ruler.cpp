#include "designer/ruler.h"

#include "model/board_zoom.h"

#include <QPainter>

#include <cmath>

namespace ordavel {

namespace {

constexpr int kMinTickGap = 4;   // view px between the finest ticks drawn
constexpr int kMinLabelGap = 28; // view px between numbered marks

// The finest tick step (mm) whose marks lie at least `gap` view px apart.
int stepFor(double viewPxPerMm, int gap, std::initializer_list<int> steps)
{
    for (int step : steps)
        if (step * viewPxPerMm >= gap)
            return step;
    return *(steps.end() - 1);
}

} // namespace

Ruler::Ruler(Qt::Orientation orientation, const BoardZoom& zoom, QWidget* parent)
    : QWidget(parent), m_orientation(orientation), m_zoom(zoom)
{
    setObjectName(orientation == Qt::Horizontal ? QStringLiteral("标尺_横向") : QStringLiteral("标尺_纵向"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // It covers the board scrolled beneath it; the mouse goes on to the panel.
    setProperty(kPassesMouseToPanel, true);
    setMouseTracking(true); // its moves, ignored, reach the panel
}

void Ruler::setBoard(int origin, int boardLength, double pxPerCm)
{
    if (origin == m_origin && boardLength == m_boardLength && pxPerCm == m_pxPerCm)
        return;
    m_origin = origin;
    m_boardLength = boardLength;
    m_pxPerCm = pxPerCm;
    update();
}

void Ruler::setMarker(std::optional<int> boardPx)
{
    if (boardPx == m_marker)
        return;
    m_marker = boardPx;
    update();
}

double Ruler::positionOf(double cm) const { return m_origin + cm * m_pxPerCm * m_zoom.factor(); }

void Ruler::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool across = m_orientation == Qt::Horizontal;
    const int length = across ? width() : height();
    const int thickness = across ? height() : width();
    // Positions along the ruler become x (top ruler) or y (left ruler).
    auto line = [&](double at, int from, int to) {
        if (across)
            painter.drawLine(QLineF(at, from, at, to));
        else
            painter.drawLine(QLineF(from, at, to, at));
    };

    painter.fillRect(rect(), QColor(0xd8, 0xdb, 0xe0));
    const int paperStart = m_origin;
    const int paperEnd = m_origin + m_zoom.toView(m_boardLength);
    const QRect paper = across ? QRect(paperStart, 0, paperEnd - paperStart, thickness)
                               : QRect(0, paperStart, thickness, paperEnd - paperStart);
    painter.fillRect(paper, QColor(0xfb, 0xfb, 0xf8));

    const double viewPxPerMm = m_pxPerCm * m_zoom.factor() / 10.0;
    if (viewPxPerMm > 0.0) {
        const int tick = stepFor(viewPxPerMm, kMinTickGap, {1, 2, 5, 10, 20, 50, 100});
        const int label = stepFor(viewPxPerMm, kMinLabelGap, {10, 20, 50, 100, 200, 500, 1000});
        const int firstMm = static_cast<int>(std::floor(-m_origin / viewPxPerMm / tick)) * tick;
        const int lastMm = static_cast<int>(std::ceil((length - m_origin) / viewPxPerMm));
        QFont small = font();
        small.setPixelSize(std::max(8, thickness / 2 - 1));
        painter.setFont(small);
        painter.setPen(QColor(0x40, 0x40, 0x40));
        for (int mm = firstMm; mm <= lastMm; mm += tick) {
            const double at = std::floor(positionOf(mm / 10.0)) + 0.5;
            const int size = mm % 10 == 0 ? thickness * 3 / 5 : mm % 5 == 0 ? thickness * 2 / 5 : thickness / 4;
            line(at, thickness - size, thickness);
            if (mm % label == 0) {
                const QString text = QString::number(mm / 10);
                if (across) {
                    painter.drawText(QPointF(at + 2, small.pixelSize()), text);
                } else {
                    painter.save();
                    painter.translate(small.pixelSize(), at - 2);
                    painter.rotate(-90);
                    painter.drawText(QPointF(0, 0), text);
                    painter.restore();
                }
            }
        }
    }
    painter.setPen(QColor(0x90, 0x90, 0x90));
    if (across)
        painter.drawLine(0, thickness - 1, width(), thickness - 1);
    else
        painter.drawLine(thickness - 1, 0, thickness - 1, height());

    if (m_marker) {
        // The middle of the board pixel under the mouse.
        const double at = m_origin + (m_zoom.toView(*m_marker) + m_zoom.toView(*m_marker + 1)) / 2.0;
        painter.setPen(QPen(Qt::red, 1));
        line(std::floor(at) + 0.5, 0, thickness);
    }
}

} // namespace ordavel
