#pragma once
// The drawing surface over a QPainter: the printer and PDF/PNG output in units
// of 0.1 mm, widget painting in pixels.

#include "platform/glyph_cache.h"
#include "print/surface.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>

#include <memory>
#include <vector>

class QPainter;

namespace ordavel {

class PainterSurface : public Surface {
public:
    // Pixels: one unit is one device pixel. TenthsMm: one unit is 0.1 mm from
    // the device's top-left corner, by the device's logical dpi; HundredthsMm
    // the same in 0.01 mm (under a calibrated surface). Fonts are realised at
    // their point size on the device in every case.
    enum class Units { Pixels, TenthsMm, HundredthsMm };

    // The painter must be active and outlive the surface; it is not owned.
    PainterSurface(QPainter& painter, Units units);

    void setFont(const FontSpec& font) override;
    void setFontPoints(const FontSpec& font, double points) override;
    void setTextColor(Color color) override;
    void setPenStyle(int style) override;
    void setPenWidth(int width) override;
    void setPenColor(Color color) override;
    void setBrushStyle(int style) override;
    void setBrushColor(Color color) override;
    double textLineHeight() const override;
    double devicePixel() const override;
    void drawTextLine(int x, int y, std::string_view utf8) override;
    // Drawn as one run of glyphs when every piece is drawn from kept glyphs.
    void drawTextPieces(int y, std::span<const TextPiece> pieces) override;
    void drawRectangle(int left, int top, int right, int bottom) override;
    void drawEllipse(int left, int top, int right, int bottom) override;
    void drawRoundedRectangle(int left, int top, int right, int bottom, int cornerWidth,
                              int cornerHeight) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void drawPicture(std::string_view bytes, int x, int y, int width, int height) override;
    std::optional<PixelSize> pictureSize(std::string_view bytes) const override;
    // Exact on the screen and in PDF files; printers and pictures have dots.
    bool exactGeometry() const override { return m_exact; }
    void fillArea(double x, double y, double width, double height, Color color) override;
    double textWidth(std::string_view utf8) const override;
    void drawRotatedTextLine(double x, double y, int degrees, std::string_view utf8) override;

    // The text colour now in force: the preview panel keeps it from one
    // paint to the next (dates and combo texts draw in it).
    Color textColor() const { return m_textColorValue; }

private:
    void applyShapeTools();
    void useFont(const FontSpec& font, double points);
    void drawText(QPointF baseline, std::string_view utf8);
    QRectF deviceRect(int left, int top, int right, int bottom) const;

    QPainter& m_painter;
    double m_scaleX = 1.0; // device pixels per unit
    double m_scaleY = 1.0;
    bool m_exact = true;
    // A font at the device's resolution with its line height and ascent in
    // device pixels and the glyphs of its characters, made once per font and
    // size: the painter and the metrics then share its loaded font engine,
    // and texts in it are drawn from kept glyphs (shrinking text to fit
    // tries several sizes of one font; a page uses a few fonts over and over).
    struct Font {
        FontSpec requested; // as the box asks for it
        double points = 0.0; // 0: the font's own size
        QFont font;
        double lineHeight = 0.0;
        double lineAscent = 0.0;
        // Null for underlined, struck-out or overlined fonts, and where lines
        // are not the painter's own layout (keptGlyphsDrawAsLines): drawn as lines.
        std::shared_ptr<GlyphCache> glyphs;
    };
    std::vector<std::unique_ptr<Font>> m_fonts;
    Font* m_font = nullptr;
    GlyphRuns m_runs; // the glyphs of the line being drawn
    QPen m_textPen{Qt::black};
    QColor m_textColor{Qt::black};
    Color m_textColorValue = kBlack;
    int m_penStyle = PenSolid;
    int m_penWidth = 1;
    QColor m_penColor{Qt::black};
    int m_brushStyle = BrushHollow;
    QColor m_brushColor{Qt::white};
    // The brush last handed to the painter: the painter tells brushes apart
    // by identity, so a fresh one per shape would restate it in the output.
    QBrush m_shapeBrush{Qt::NoBrush};
    QPen m_shapePen{Qt::NoPen}; // the pen last made for shapes
};

// 0x00BBGGRR -> QColor.
QColor toQColor(Color color);
// QColor -> 0x00BBGGRR (alpha ignored).
Color fromQColor(const QColor& color);

} // namespace ordavel
