#include "platform/text_line.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace ordavel {

namespace {

// GDI rounds every glyph's advance to a whole device dot, which adds up along a
// line (0.2 mm over a dozen characters at 1200 dpi). Laid out by the font's
// design metrics instead, each glyph lands where it does on Linux.
const QTextOption& designMetrics()
{
    static const QTextOption option = [] {
        QTextOption o;
        o.setUseDesignMetrics(true);
        o.setWrapMode(QTextOption::NoWrap);
        return o;
    }();
    return option;
}

} // namespace

void paintTextLine(QPainter& painter, const QFont& font, QPointF baseline, const QString& text)
{
    QTextLayout layout(text, font, painter.device());
    layout.setTextOption(designMetrics());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1.0e7);
    layout.endLayout();
    if (line.isValid())
        layout.draw(&painter, QPointF(baseline.x(), baseline.y() - line.ascent()));
}

qreal textLineAdvance(const QFont& font, const QPaintDevice* device, const QString& text)
{
    return QFontMetricsF(font, device).horizontalAdvance(text, designMetrics());
}

} // namespace ordavel
