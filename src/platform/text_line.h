#pragma once
// One line of text drawn and measured at a device's resolution, so that both
// give each glyph the same place.

#include <QFont>
#include <QPointF>
#include <QString>

class QPaintDevice;
class QPainter;

namespace ordavel {

// Draws `text` in `font` with its baseline starting at `baseline`.
void paintTextLine(QPainter& painter, const QFont& font, QPointF baseline, const QString& text);

// Whether lines on `device` may be drawn and measured from glyphs kept per
// character (GlyphCache), which places them as the painter's own layout does:
// true wherever paintTextLine is that layout.
bool keptGlyphsDrawAsLines(const QPaintDevice* device);

// How far `text` in `font` advances on `device`, in its pixels.
qreal textLineAdvance(const QFont& font, const QPaintDevice* device, const QString& text);

// The height of a line of `font` on `device` and, of it, the part above the
// baseline, in its pixels.
qreal textLineHeight(const QFont& font, const QPaintDevice* device);
qreal textLineAscent(const QFont& font, const QPaintDevice* device);

} // namespace ordavel
