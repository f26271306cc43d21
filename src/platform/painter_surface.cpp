#include "platform/painter_surface.h"

#include "platform/font_resolver.h"
#include "platform/picture_decoder.h"
#include "platform/text_line.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cmath>

namespace ordavel {

QColor toQColor(Color color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

Color fromQColor(const QColor& color)
{
    return static_cast<Color>(color.red()) | (static_cast<Color>(color.green()) << 8)
        | (static_cast<Color>(color.blue()) << 16);
}

namespace {

Qt::PenStyle qtPenStyle(int style)
{
    switch (style) {
    case PenNone: return Qt::NoPen;
    case PenDot: return Qt::DotLine;
    case PenDash: return Qt::DashLine;
    case PenDashDot: return Qt::DashDotLine;
    case PenDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

} // namespace

PainterSurface::PainterSurface(QPainter& painter, Units units) : m_painter(painter)
{
    // Coordinates are scaled here rather than through the painter's
    // transform, so that fonts keep their point size at the device's
    // resolution instead of being scaled with the geometry.
    if (units != Units::Pixels && painter.device() != nullptr) {
        const double unitsPerInch = units == Units::TenthsMm ? 254.0 : 2540.0;
        m_scaleX = painter.device()->logicalDpiX() / unitsPerInch;
        m_scaleY = painter.device()->logicalDpiY() / unitsPerInch;
        // A PDF file has no dots; a printer (even one fed PDF) and a picture have.
        const auto* printer = dynamic_cast<const QPrinter*>(painter.device());
        m_exact = dynamic_cast<const QPdfWriter*>(painter.device()) != nullptr
            || (printer != nullptr && printer->outputFormat() == QPrinter::PdfFormat);
    }
    useFont(FontSpec{}, 0.0);
}

void PainterSurface::useFont(const FontSpec& font, double points)
{
    if (m_font != nullptr && font == m_font->requested && points == m_font->points)
        return;
    for (const auto& kept : m_fonts)
        if (kept->requested == font && kept->points == points) {
            m_font = kept.get();
            return;
        }
    // A template uses a handful of fonts; a run of shrinking texts may try
    // many sizes. Past this many, start afresh rather than keep them all.
    constexpr std::size_t kKeptFonts = 64;
    if (m_fonts.size() >= kKeptFonts)
        m_fonts.clear();
    auto made = std::make_unique<Font>();
    QFont asked = qtFont(font);
    if (points > 0.0)
        asked.setPointSizeF(points);
    const QPaintDevice* device = m_painter.device();
    made->requested = font;
    made->points = points;
    made->font = device != nullptr ? QFont(asked, device) : asked;
    made->lineHeight = ordavel::textLineHeight(made->font, device);
    made->lineAscent = ordavel::textLineAscent(made->font, device);
    if (keptGlyphsDrawAsLines(device) && !made->font.underline() && !made->font.strikeOut() && !made->font.overline())
        made->glyphs = GlyphCache::shared(made->font, device);
    m_font = made.get();
    m_fonts.push_back(std::move(made));
}

void PainterSurface::setFont(const FontSpec& font) { useFont(font, 0.0); }
void PainterSurface::setFontPoints(const FontSpec& font, double points) { useFont(font, points); }
void PainterSurface::setTextColor(Color color)
{
    if (color == m_textColorValue)
        return;
    m_textColorValue = color;
    m_textColor = toQColor(color);
    m_textPen = QPen(m_textColor);
}
void PainterSurface::setPenStyle(int style) { m_penStyle = style; }
void PainterSurface::setPenWidth(int width) { m_penWidth = width; }
void PainterSurface::setPenColor(Color color) { m_penColor = toQColor(color); }
void PainterSurface::setBrushStyle(int style) { m_brushStyle = style; }
void PainterSurface::setBrushColor(Color color) { m_brushColor = toQColor(color); }

double PainterSurface::textLineHeight() const { return m_font->lineHeight / m_scaleY; }

double PainterSurface::devicePixel() const { return 1.0 / m_scaleY; }

void PainterSurface::drawText(QPointF baseline, std::string_view utf8)
{
    m_painter.setPen(m_textPen);
    m_runs.clear();
    if (m_font->glyphs && m_font->glyphs->layOut(utf8, baseline, m_runs)) {
        m_runs.draw(m_painter);
        return;
    }
    paintTextLine(m_painter, m_font->font, baseline, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void PainterSurface::drawTextLine(int x, int y, std::string_view utf8)
{
    drawText(QPointF(x * m_scaleX, y * m_scaleY + m_font->lineAscent), utf8);
}

void PainterSurface::drawTextPieces(int y, std::span<const TextPiece> pieces)
{
    m_runs.clear();
    const double baseline = y * m_scaleY + m_font->lineAscent;
    for (const TextPiece& piece : pieces) {
        if (!m_font->glyphs || !m_font->glyphs->layOut(piece.utf8, QPointF(piece.x * m_scaleX, baseline), m_runs)) {
            Surface::drawTextPieces(y, pieces);
            return;
        }
    }
    m_painter.setPen(m_textPen);
    m_runs.draw(m_painter);
}

void PainterSurface::applyShapeTools()
{
    const Qt::PenStyle style = qtPenStyle(m_penStyle);
    const qreal width = std::max(1, m_penWidth) * m_scaleY;
    // Made anew only when a setting changed: a page of frames then hands the
    // painter one pen, which it recognises without comparing.
    if (m_shapePen.style() != style || (style != Qt::NoPen && (m_shapePen.widthF() != width || m_shapePen.color() != m_penColor))) {
        if (style == Qt::NoPen) {
            m_shapePen = QPen(Qt::NoPen);
        } else {
            m_shapePen = QPen(m_penColor, width, style);
            m_shapePen.setCapStyle(Qt::FlatCap);
            m_shapePen.setJoinStyle(Qt::MiterJoin);
        }
    }
    m_painter.setPen(m_shapePen);
    const bool solid = m_brushStyle == BrushSolid;
    if (solid ? m_shapeBrush.style() != Qt::SolidPattern || m_shapeBrush.color() != m_brushColor
              : m_shapeBrush.style() != Qt::NoBrush)
        m_shapeBrush = solid ? QBrush(m_brushColor) : QBrush(Qt::NoBrush);
    m_painter.setBrush(m_shapeBrush);
}

QRectF PainterSurface::deviceRect(int left, int top, int right, int bottom) const
{
    return QRectF(QPointF(left * m_scaleX, top * m_scaleY), QPointF(right * m_scaleX, bottom * m_scaleY));
}

void PainterSurface::drawRectangle(int left, int top, int right, int bottom)
{
    applyShapeTools();
    m_painter.drawRect(deviceRect(left, top, right, bottom));
}

void PainterSurface::drawEllipse(int left, int top, int right, int bottom)
{
    applyShapeTools();
    m_painter.drawEllipse(deviceRect(left, top, right, bottom));
}

void PainterSurface::drawRoundedRectangle(int left, int top, int right, int bottom, int cornerWidth,
                                          int cornerHeight)
{
    applyShapeTools();
    // The corner is given as the ellipse's size; Qt takes its radii.
    m_painter.drawRoundedRect(deviceRect(left, top, right, bottom), cornerWidth * m_scaleX / 2.0,
                              cornerHeight * m_scaleY / 2.0, Qt::AbsoluteSize);
}

void PainterSurface::drawLine(int x1, int y1, int x2, int y2)
{
    applyShapeTools();
    m_painter.drawLine(QPointF(x1 * m_scaleX, y1 * m_scaleY), QPointF(x2 * m_scaleX, y2 * m_scaleY));
}

void PainterSurface::drawPicture(std::string_view bytes, int x, int y, int width, int height)
{
    // Decoded from its own bytes at the device's resolution of the place it
    // fills: a large scan prints sharp without being held whole.
    const QRectF target = deviceRect(x, y, x + width, y + height);
    const QSize fit(static_cast<int>(std::ceil(std::abs(target.width()))), static_cast<int>(std::ceil(std::abs(target.height()))));
    const QImage image = decodePicture(bytes, fit.expandedTo(QSize(1, 1)));
    if (image.isNull())
        return;
    m_painter.drawImage(target, image, QRectF(QPointF(0, 0), QSizeF(image.size())));
}

void PainterSurface::fillArea(double x, double y, double width, double height, Color color)
{
    m_painter.fillRect(QRectF(x * m_scaleX, y * m_scaleY, width * m_scaleX, height * m_scaleY), toQColor(color));
}

double PainterSurface::textWidth(std::string_view utf8) const
{
    if (m_font->glyphs)
        if (const std::optional<qreal> advance = m_font->glyphs->advance(utf8))
            return *advance / m_scaleX;
    return textLineAdvance(m_font->font, m_painter.device(),
                           QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())))
        / m_scaleX;
}

void PainterSurface::drawRotatedTextLine(double x, double y, int degrees, std::string_view utf8)
{
    m_painter.save();
    m_painter.translate(x * m_scaleX, y * m_scaleY);
    m_painter.rotate(degrees);
    m_painter.setPen(m_textPen);
    paintTextLine(m_painter, m_font->font, QPointF(0.0, m_font->lineAscent),
                  QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    m_painter.restore();
}

std::optional<PixelSize> PainterSurface::pictureSize(std::string_view bytes) const
{
    // The picture's own size, as its header gives it, without decoding it.
    const QSize size = pictureNaturalSize(bytes);
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    return PixelSize{size.width(), size.height()};
}

} // namespace ordavel
