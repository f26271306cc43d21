#include "platform/text_line.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

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

// A printer driver sets the glyphs of a text run itself, by its own advances
// at its own dots, whatever places the layout gave them.
bool isPrinterDriver(const QPaintDevice* device)
{
    const auto* printer = dynamic_cast<const QPrinter*>(device);
    return printer != nullptr && printer->outputFormat() == QPrinter::NativeFormat;
}

// One line laid out by design metrics at `font`'s size on `device`.
struct LaidOut {
    QTextLayout layout;
    QTextLine line;
    LaidOut(const QString& text, const QFont& font, const QPaintDevice* device) : layout(text, font, device)
    {
        layout.setTextOption(designMetrics());
        layout.beginLayout();
        line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1.0e7);
        layout.endLayout();
    }
};

// To a printer, text is set from the font at a large size, scaled to the
// font's exact size on the printer: GDI realises a font at a whole number of
// dots (10.5 pt is 44 dots at 300 dpi, not 43.75), which would make every
// glyph, every line and so the whole text that much larger.
struct PrinterScale {
    static constexpr int kPixels = 1024;
    QFont large;
    qreal x = 1.0;
    qreal y = 1.0;
    PrinterScale(const QFont& font, const QPaintDevice* device) : large(font)
    {
        large.setPixelSize(kPixels);
        const qreal pixels =
            font.pointSizeF() > 0 ? font.pointSizeF() * device->logicalDpiY() / 72.0 : font.pixelSize();
        y = pixels / kPixels;
        x = y * device->logicalDpiX() / device->logicalDpiY();
    }
};

// The outlines of the glyphs, each at the place the layout gave it.
void fillTextOutlines(QPainter& painter, const QFont& font, QPointF baseline, const QString& text)
{
    const PrinterScale scale(font, painter.device());
    const LaidOut laid(text, scale.large, nullptr);
    if (!laid.line.isValid() || scale.y <= 0)
        return;
    QPainterPath outlines;
    outlines.setFillRule(Qt::WindingFill);
    for (const QGlyphRun& run : laid.layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            outlines.addPath(raw.pathForGlyph(glyphs[i]).translated(positions[i]));
    }
    // Underline and strike-out, which outlines do not carry, as the painter
    // draws them: the font's line width, across the line's advance.
    const QFontMetricsF metrics(scale.large);
    const qreal width = laid.line.naturalTextWidth();
    const qreal baselineY = laid.line.ascent();
    const qreal thickness = std::max<qreal>(metrics.lineWidth(), 1.0);
    if (font.underline())
        outlines.addRect(QRectF(0.0, baselineY + metrics.underlinePos(), width, thickness));
    if (font.strikeOut())
        outlines.addRect(QRectF(0.0, baselineY - metrics.strikeOutPos(), width, thickness));
    // Glyph positions lie on the line's baseline, its ascent below the layout's top.
    QTransform place;
    place.translate(baseline.x(), baseline.y());
    place.scale(scale.x, scale.y);
    place.translate(0.0, -laid.line.ascent());
    painter.fillPath(place.map(outlines), painter.pen().color());
}

} // namespace

void paintTextLine(QPainter& painter, const QFont& font, QPointF baseline, const QString& text)
{
    if (isPrinterDriver(painter.device())) {
        fillTextOutlines(painter, font, baseline, text);
        return;
    }
    const LaidOut laid(text, font, painter.device());
    if (laid.line.isValid())
        laid.layout.draw(&painter, QPointF(baseline.x(), baseline.y() - laid.line.ascent()));
}

// Lines here are laid out by design metrics, or filled as outlines.
bool keptGlyphsDrawAsLines(const QPaintDevice*) { return false; }

qreal textLineAdvance(const QFont& font, const QPaintDevice* device, const QString& text)
{
    if (isPrinterDriver(device)) {
        const PrinterScale scale(font, device);
        return QFontMetricsF(scale.large).horizontalAdvance(text, designMetrics()) * scale.x;
    }
    return QFontMetricsF(font, device).horizontalAdvance(text, designMetrics());
}

qreal textLineHeight(const QFont& font, const QPaintDevice* device)
{
    if (isPrinterDriver(device)) {
        const PrinterScale scale(font, device);
        return QFontMetricsF(scale.large).height() * scale.y;
    }
    return QFontMetricsF(font, device).height();
}

qreal textLineAscent(const QFont& font, const QPaintDevice* device)
{
    if (isPrinterDriver(device)) {
        const PrinterScale scale(font, device);
        return QFontMetricsF(scale.large).ascent() * scale.y;
    }
    return QFontMetricsF(font, device).ascent();
}

} // namespace ordavel
