#include "print/calibrated_surface.h"

#include "print/print_units.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ordavel {

namespace {

// 0.01 mm per mm.
constexpr double kInnerPerMm = 100.0;

int rounded(double value) { return truncateUnits(std::round(value)); }

} // namespace

CalibratedSurface::CalibratedSurface(Surface& inner, const Calibration& calibration)
    : m_inner(inner),
      m_offsetX(calibration.offsetXMm * kInnerPerMm),
      m_offsetY(calibration.offsetYMm * kInnerPerMm),
      m_scaleX(calibration.scaleXPercent / 100.0 * kInnerPerUnit),
      m_scaleY(calibration.scaleYPercent / 100.0 * kInnerPerUnit)
{
}

int CalibratedSurface::innerX(int x) const { return rounded(m_offsetX + m_scaleX * x); }
int CalibratedSurface::innerY(int y) const { return rounded(m_offsetY + m_scaleY * y); }

void CalibratedSurface::setFont(const FontSpec& font) { m_inner.setFont(font); }
void CalibratedSurface::setTextColor(Color color) { m_inner.setTextColor(color); }
void CalibratedSurface::setPenStyle(int style) { m_inner.setPenStyle(style); }
void CalibratedSurface::setPenWidth(int width)
{
    m_inner.setPenWidth(rounded(std::max(1, width) * (m_scaleX + m_scaleY) / 2.0));
}
void CalibratedSurface::setPenColor(Color color) { m_inner.setPenColor(color); }
void CalibratedSurface::setBrushStyle(int style) { m_inner.setBrushStyle(style); }
void CalibratedSurface::setBrushColor(Color color) { m_inner.setBrushColor(color); }

double CalibratedSurface::textLineHeight() const { return m_inner.textLineHeight() / m_scaleY; }
double CalibratedSurface::devicePixel() const { return m_inner.devicePixel() / m_scaleY; }

void CalibratedSurface::drawTextLine(int x, int y, std::string_view utf8)
{
    m_inner.drawTextLine(innerX(x), innerY(y), utf8);
}

void CalibratedSurface::drawTextPieces(int y, std::span<const TextPiece> pieces)
{
    std::vector<TextPiece> inner(pieces.begin(), pieces.end());
    for (TextPiece& piece : inner)
        piece.x = innerX(piece.x);
    m_inner.drawTextPieces(innerY(y), inner);
}

void CalibratedSurface::drawRectangle(int left, int top, int right, int bottom)
{
    m_inner.drawRectangle(innerX(left), innerY(top), innerX(right), innerY(bottom));
}

void CalibratedSurface::drawEllipse(int left, int top, int right, int bottom)
{
    m_inner.drawEllipse(innerX(left), innerY(top), innerX(right), innerY(bottom));
}

void CalibratedSurface::drawRoundedRectangle(int left, int top, int right, int bottom, int cornerWidth,
                                             int cornerHeight)
{
    m_inner.drawRoundedRectangle(innerX(left), innerY(top), innerX(right), innerY(bottom),
                                 rounded(cornerWidth * m_scaleX), rounded(cornerHeight * m_scaleY));
}

void CalibratedSurface::drawLine(int x1, int y1, int x2, int y2)
{
    m_inner.drawLine(innerX(x1), innerY(y1), innerX(x2), innerY(y2));
}

void CalibratedSurface::drawPicture(std::string_view bytes, int x, int y, int width, int height)
{
    // Both edges are transformed, so the far edge lands where the formula puts it.
    const int left = innerX(x);
    const int top = innerY(y);
    m_inner.drawPicture(bytes, left, top, innerX(x + width) - left, innerY(y + height) - top);
}

std::optional<PixelSize> CalibratedSurface::pictureSize(std::string_view bytes) const
{
    return m_inner.pictureSize(bytes);
}

bool CalibratedSurface::exactGeometry() const { return m_inner.exactGeometry(); }

void CalibratedSurface::fillArea(double x, double y, double width, double height, Color color)
{
    m_inner.fillArea(m_offsetX + m_scaleX * x, m_offsetY + m_scaleY * y, m_scaleX * width, m_scaleY * height,
                     color);
}

double CalibratedSurface::textWidth(std::string_view utf8) const { return m_inner.textWidth(utf8) / m_scaleX; }

void CalibratedSurface::drawRotatedTextLine(double x, double y, int degrees, std::string_view utf8)
{
    m_inner.drawRotatedTextLine(m_offsetX + m_scaleX * x, m_offsetY + m_scaleY * y, degrees, utf8);
}

} // namespace ordavel
