#pragma once
// The abstract drawing surface boxes are rendered onto: the printer (units of
// 0.1 mm from the sheet's top-left corner) and the preview panel (pixels).
// Coordinates are integers in the surface's own units, y downwards. Every
// setting stays in force until it is changed; a fresh surface has black text
// and pen, pen style solid, pen width 1 and a hollow white brush.

#include "model/box.h"

#include <optional>
#include <span>
#include <string_view>

namespace ordavel {

// Pen styles of the shapes and the surface alike.
enum PenStyle : int { PenNone = 0, PenSolid = 1, PenDot = 2, PenDash = 3, PenDashDot = 4, PenDashDotDot = 5 };
// Brush styles: hollow draws outlines only.
enum BrushStyle : int { BrushHollow = 0, BrushSolid = 1 };

// A picture's natural size in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// One of several texts drawn on one line: the left edge of its cell.
struct TextPiece {
    int x = 0;
    std::string_view utf8;
};

class Surface {
public:
    virtual ~Surface() = default;

    virtual void setFont(const FontSpec& font) = 0;
    // `font` at a point size that may have a fraction (text shrunk to fit
    // its box). A surface without fractional sizes takes the whole points.
    virtual void setFontPoints(const FontSpec& font, double points)
    {
        FontSpec whole = font;
        whole.size = static_cast<int>(points);
        setFont(whole);
    }
    virtual void setTextColor(Color color) = 0;
    virtual void setPenStyle(int style) = 0;   // PenStyle
    virtual void setPenWidth(int width) = 0;   // surface units
    virtual void setPenColor(Color color) = 0;
    virtual void setBrushStyle(int style) = 0; // BrushStyle
    virtual void setBrushColor(Color color) = 0;

    // Height of one text line (ascent + descent) in the current font, in surface units.
    virtual double textLineHeight() const = 0;
    // The size of one device pixel in surface units (1 on a pixel surface).
    virtual double devicePixel() const = 0;

    // One line of UTF-8 text in the current font and text colour, the top-left
    // corner of its cell at (x, y). No clipping, no wrapping.
    virtual void drawTextLine(int x, int y, std::string_view utf8) = 0;
    // Texts side by side on the line whose top is at y, as drawTextLine
    // draws each (a row of digit cells); a surface may draw them together.
    virtual void drawTextPieces(int y, std::span<const TextPiece> pieces)
    {
        for (const TextPiece& piece : pieces)
            drawTextLine(piece.x, y, piece.utf8);
    }
    // Outlined with the pen and filled with the brush; edges given as corners.
    virtual void drawRectangle(int left, int top, int right, int bottom) = 0;
    virtual void drawEllipse(int left, int top, int right, int bottom) = 0;
    // cornerWidth x cornerHeight is the size of the ellipse that rounds the corners.
    virtual void drawRoundedRectangle(int left, int top, int right, int bottom,
                                      int cornerWidth, int cornerHeight) = 0;
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    // Decodes the picture file bytes (BMP, JPEG, GIF) and draws it stretched
    // into (x, y, width, height). Bytes that do not decode draw nothing.
    virtual void drawPicture(std::string_view bytes, int x, int y, int width, int height) = 0;
    // Natural size of the picture file bytes; nothing when they do not decode.
    virtual std::optional<PixelSize> pictureSize(std::string_view bytes) const = 0;

    // For barcodes, which need more than whole units:
    // True when the output has no dots of its own to align to (a PDF file,
    // the screen); false when its device pixels are printer or picture dots.
    virtual bool exactGeometry() const = 0;
    // Fills the area with the colour, no outline; position and size in
    // surface units, fractions kept. Pen and brush settings stay as they are.
    virtual void fillArea(double x, double y, double width, double height, Color color) = 0;
    // Advance width of one line of text in the current font, surface units.
    virtual double textWidth(std::string_view utf8) const = 0;
    // One line of text turned clockwise by `degrees` (0, 90, 180, 270) about
    // the top-left corner of its cell, which lies at (x, y).
    virtual void drawRotatedTextLine(double x, double y, int degrees, std::string_view utf8) = 0;
};

} // namespace ordavel
