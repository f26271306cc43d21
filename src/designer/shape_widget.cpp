#include "designer/shape_widget.h"

#include "designer/box_media.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>

namespace ordavel {

namespace {
constexpr qreal kCornerRadius = 25.0; // the 50 x 50 corner ellipse of rounded kinds
}

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {}

Qt::PenStyle ShapeWidget::penStyle(int lineStyle)
{
    switch (lineStyle) {
    case LineSolid: return Qt::SolidLine;
    case LineDot: return Qt::DotLine;
    case LineDash: return Qt::DashLine;
    case LineDashDot: return Qt::DashDotLine;
    case LineDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::NoPen;
    }
}

void ShapeWidget::showBox(const Box& box)
{
    if (m_hasShown && box.attributes == m_shown)
        return;
    m_hasShown = true;
    m_shown = box.attributes;
    update();
}

void ShapeWidget::readInto(BoxAttributes& /*attributes*/) const {}

void ShapeWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const int penWidth = m_shown.lineStyle == LineSolid ? std::max(1, m_shown.lineWidth) : 1;
    QPen pen(toQColor(m_shown.lineColor), penWidth, penStyle(m_shown.lineStyle));
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(toQColor(m_shown.bgColor));
    // Keep the whole stroke inside the widget: inset the outline by half the pen.
    const int w = width();
    const int h = height();
    const int side = std::min(w, h);
    const qreal inset = pen.style() == Qt::NoPen ? 0.0 : penWidth / 2.0;
    auto outline = [inset](int width, int height) {
        return QRectF(inset, inset, width - 2 * inset, height - 2 * inset);
    };
    // Line effect 1 sunken / 2 raised: lines and square-cornered outlines are etched in 3D.
    const bool etched = (m_shown.lineEffect == 1 || m_shown.lineEffect == 2) && pen.style() != Qt::NoPen;
    const bool sunken = m_shown.lineEffect == 1;
    if (etched) {
        switch (m_shown.shape) {
        case ShapeHorizontalLine: qDrawShadeLine(&painter, 0, 1, w, 1, palette(), sunken, 1, 0); return;
        case ShapeVerticalLine: qDrawShadeLine(&painter, 1, 0, 1, h, palette(), sunken, 1, 0); return;
        case ShapeRectangle:
        case ShapeSquare: {
            const QBrush fill(toQColor(m_shown.bgColor));
            const QRect area = m_shown.shape == ShapeSquare ? QRect(0, 0, side, side) : rect();
            qDrawShadePanel(&painter, area, palette(), sunken, 2, &fill);
            return;
        }
        default: break;
        }
    }
    switch (m_shown.shape) {
    case ShapeSquare: painter.drawRect(outline(side, side)); break;
    case ShapeEllipse: painter.setRenderHint(QPainter::Antialiasing); painter.drawEllipse(outline(w, h)); break;
    case ShapeCircle: painter.setRenderHint(QPainter::Antialiasing); painter.drawEllipse(outline(side, side)); break;
    case ShapeRoundRect:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawRoundedRect(outline(w, h), kCornerRadius, kCornerRadius);
        break;
    case ShapeRoundSquare:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawRoundedRect(outline(side, side), kCornerRadius, kCornerRadius);
        break;
    case ShapeHorizontalLine: painter.drawLine(QPointF(0, inset), QPointF(w, inset)); break;
    case ShapeVerticalLine: painter.drawLine(QPointF(inset, 0), QPointF(inset, h)); break;
    default: painter.drawRect(outline(w, h)); break;
    }
}

} // namespace ordavel
