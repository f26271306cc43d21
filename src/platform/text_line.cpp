#include "platform/text_line.h"

#include <QFontMetricsF>
#include <QPainter>

namespace ordavel {

// FreeType keeps each glyph's advance in fractions of a device pixel: the
// painter's own text layout already places glyphs where the font does.
// Setting a font, even an equal one, makes the painter look its engine up
// again at the next text; an equal font is left in place.
void paintTextLine(QPainter& painter, const QFont& font, QPointF baseline, const QString& text)
{
    if (painter.font() != font)
        painter.setFont(font);
    painter.drawText(baseline, text);
}

bool keptGlyphsDrawAsLines(const QPaintDevice*) { return true; }

qreal textLineAdvance(const QFont& font, const QPaintDevice* device, const QString& text)
{
    return QFontMetricsF(font, device).horizontalAdvance(text);
}

qreal textLineHeight(const QFont& font, const QPaintDevice* device) { return QFontMetricsF(font, device).height(); }
qreal textLineAscent(const QFont& font, const QPaintDevice* device) { return QFontMetricsF(font, device).ascent(); }

} // namespace ordavel
