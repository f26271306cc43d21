#pragma once
// A printer surface that applies a calibration to everything drawn on it.
// It takes the print job's coordinates (0.1 mm from the sheet's top-left
// corner, as designed) and passes them, corrected, to an inner surface whose
// unit is 0.01 mm, so that a fraction of a percent of scale does not vanish
// in the rounding to whole tenths of a millimetre.

#include "print/calibration.h"
#include "print/surface.h"

namespace ordavel {

class CalibratedSurface : public Surface {
public:
    // Inner surface units per outer unit: 0.01 mm per 0.1 mm.
    static constexpr int kInnerPerUnit = 10;

    // `inner` draws in 0.01 mm and must outlive this surface; it is not owned.
    CalibratedSurface(Surface& inner, const Calibration& calibration);

    // Inner coordinate of an outer one: offset + scale x position, rounded
    // to the nearest 0.01 mm.
    int innerX(int x) const;
    int innerY(int y) const;

    void setFont(const FontSpec& font) override;
    void setFontPoints(const FontSpec& font, double points) override { m_inner.setFontPoints(font, points); }
    void setTextColor(Color color) override;
    void setPenStyle(int style) override;
    // A width below 1 draws 1 wide, as on the printer surface; widths scale
    // with the mean of the two scales.
    void setPenWidth(int width) override;
    void setPenColor(Color color) override;
    void setBrushStyle(int style) override;
    void setBrushColor(Color color) override;

    // In designed units: the inner height divided by the vertical scale, so
    // that a text's second line lands one real line below the first on paper.
    // Glyphs keep their point size; only positions follow the calibration.
    double textLineHeight() const override;
    double devicePixel() const override;

    void drawTextLine(int x, int y, std::string_view utf8) override;
    void drawTextPieces(int y, std::span<const TextPiece> pieces) override;
    void drawRectangle(int left, int top, int right, int bottom) override;
    void drawEllipse(int left, int top, int right, int bottom) override;
    void drawRoundedRectangle(int left, int top, int right, int bottom, int cornerWidth,
                              int cornerHeight) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void drawPicture(std::string_view bytes, int x, int y, int width, int height) override;
    std::optional<PixelSize> pictureSize(std::string_view bytes) const override;

    // Barcode primitives keep their fractions: corrected in doubles, not rounded.
    bool exactGeometry() const override;
    void fillArea(double x, double y, double width, double height, Color color) override;
    double textWidth(std::string_view utf8) const override;
    void drawRotatedTextLine(double x, double y, int degrees, std::string_view utf8) override;

private:
    Surface& m_inner;
    double m_offsetX; // inner units
    double m_offsetY;
    double m_scaleX; // inner units per outer unit
    double m_scaleY;
};

} // namespace ordavel
