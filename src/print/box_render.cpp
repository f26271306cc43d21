#include "print/box_render.h"

#include "print/barcode_render.h"
#include "print/cell_text.h"
#include "print/print_units.h"
#include "print/text_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ordavel {

namespace {

// The corner ellipse of rounded shapes, in the target's units (5 mm on paper,
// 50 pixels in the preview).
constexpr int kCornerSize = 50;

// A box's PrintRect in target units, each value converted on its own.
struct TargetRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
};

int convert(double cm, double factor, bool roundFirst)
{
    const double product = cm * factor;
    return truncateUnits(roundFirst ? roundTo(product, 2) : product);
}

// Printer: cm x 100 truncated; preview: cm x boxPxPerCm truncated. Shapes
// (preview only) and colour blocks (both) round the product to two decimals
// first, so 1.15 cm is a 114 for text but 115 for a colour block.
TargetRect targetRect(const Box& box, RenderTarget target, const UnitFactors& factors)
{
    const bool printer = target == RenderTarget::Printer;
    const bool roundFirst = box.type == BoxType::ColorPicker
        || (!printer && box.type == BoxType::ShapeBox);
    const double fx = printer ? 100.0 : factors.boxPxPerCmX;
    const double fy = printer ? 100.0 : factors.boxPxPerCmY;
    const PrintRect& r = box.printRect;
    return {convert(r.left, fx, roundFirst), convert(r.top, fy, roundFirst),
            convert(r.width, fx, roundFirst), convert(r.height, fy, roundFirst)};
}

// Lines split at CR, LF and CR LF; each advances by the line height plus two
// device pixels. Empty lines take their place but draw nothing.
void writeText(Surface& surface, int x, int y, const std::string& text)
{
    if (text.empty())
        return;
    const double advance = surface.textLineHeight() + 2.0 * surface.devicePixel();
    std::size_t start = 0;
    for (int line = 0;; ++line) {
        const std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view part = std::string_view(text).substr(
            start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty())
            surface.drawTextLine(x, y + static_cast<int>(std::lround(line * advance)), part);
        if (end == std::string::npos)
            break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
}

// The text one character a cell (cellCharacters), each centred across its
// cell, on the line where the box's text starts. Too long a text draws
// nothing: the check before a batch reports it.
void writeCells(Surface& surface, const TargetRect& r, const BoxAttributes& a)
{
    const auto cells = cellCharacters(a.text, a.cellCount, a.yenBeforeFirst);
    if (!cells)
        return;
    const double cellWidth = static_cast<double>(r.w) / a.cellCount;
    std::vector<TextPiece> pieces;
    for (std::size_t i = 0; i < cells->size(); ++i) {
        const std::string& one = (*cells)[i];
        if (one.empty())
            continue;
        const double centre = r.x + cellWidth * (static_cast<double>(i) + 0.5);
        pieces.push_back({static_cast<int>(std::lround(centre - surface.textWidth(one) / 2.0)), one});
    }
    surface.drawTextPieces(r.y, pieces);
}

// After a shape, a colour block or an empty picture box.
void resetTools(Surface& surface)
{
    surface.setPenWidth(1);
    surface.setBrushStyle(BrushHollow);
    surface.setBrushColor(kWhite);
}

void fill(Surface& surface, const TargetRect& r, Color color)
{
    surface.setPenStyle(PenNone);
    surface.setBrushStyle(BrushSolid);
    surface.setBrushColor(color);
    surface.drawRectangle(r.x, r.y, r.right(), r.bottom());
    resetTools(surface);
}

void drawShape(Surface& surface, const BoxAttributes& a, const TargetRect& r)
{
    surface.setPenStyle(a.lineStyle);
    surface.setPenWidth(a.lineStyle == LineSolid ? a.lineWidth : 1);
    surface.setPenColor(a.lineColor);
    surface.setBrushStyle(BrushSolid);
    surface.setBrushColor(a.bgColor);
    const int s = std::min(r.w, r.h);
    switch (a.shape) {
    case ShapeRectangle: surface.drawRectangle(r.x, r.y, r.right(), r.bottom()); break;
    case ShapeSquare: surface.drawRectangle(r.x, r.y, r.x + s, r.y + s); break;
    case ShapeEllipse: surface.drawEllipse(r.x, r.y, r.right(), r.bottom()); break;
    case ShapeCircle: surface.drawEllipse(r.x, r.y, r.x + s, r.y + s); break;
    case ShapeRoundRect:
        surface.drawRoundedRectangle(r.x, r.y, r.right(), r.bottom(), kCornerSize, kCornerSize);
        break;
    case ShapeRoundSquare:
        surface.drawRoundedRectangle(r.x, r.y, r.x + s, r.y + s, kCornerSize, kCornerSize);
        break;
    case ShapeHorizontalLine: surface.drawLine(r.x, r.y, r.right(), r.y); break;
    case ShapeVerticalLine: surface.drawLine(r.x, r.y, r.x, r.bottom()); break;
    default: break;
    }
    resetTools(surface);
}

} // namespace

std::string formatDate(const DateTime& v, int dateFormat)
{
    using std::to_string;
    const std::string date = to_string(v.year) + "年" + to_string(v.month) + "月" + to_string(v.day) + "日";
    const std::string clock = to_string(v.hour) + ":" + to_string(v.minute) + ":" + to_string(v.second);
    const std::string dashed = to_string(v.year) + "-" + to_string(v.month) + "-" + to_string(v.day);
    switch (dateFormat) {
    case 0: return date;
    case 1: return to_string(v.hour) + "时" + to_string(v.minute) + "分" + to_string(v.second) + "秒";
    case 2: return date + formatDate(v, 1);
    case 3: return clock;
    case 4: return date + " " + clock;
    case 5: return dashed;
    case 6: return dashed + " " + clock;
    case 7: return to_string(v.year) + "/" + to_string(v.month) + "/" + to_string(v.day);
    case 8: return to_string(v.month) + "/" + to_string(v.day) + "/" + to_string(v.year);
    default: return {};
    }
}

void drawBox(const Box& box, RenderTarget target, const UnitFactors& factors, Surface& surface)
{
    if (!box.inUse || !box.isPrint)
        return;
    const TargetRect r = targetRect(box, target, factors);
    const BoxAttributes& a = box.attributes;
    switch (box.type) {
    case BoxType::EditBox:
    case BoxType::Label:
        surface.setFont(a.font);
        surface.setTextColor(a.textColor);
        if (a.cellCount > 0) {
            writeCells(surface, r, a);
        } else {
            if (a.shrinkToFit > 0)
                writeText(surface, r.x, r.y,
                          shrinkToFit(surface, a.text, a.font, a.shrinkToFit, r.w, r.h, wrapsText(box)).text);
            else
                writeText(surface, r.x, r.y, a.text);
        }
        break;
    case BoxType::PicBox:
        if (!a.picture.empty())
            surface.drawPicture(a.picture, r.x, r.y, r.w, r.h);
        else
            fill(surface, r, a.bgColor);
        break;
    case BoxType::ShapeBox: drawShape(surface, a, r); break;
    case BoxType::DatePicker:
        // Dates and combo texts keep the surface's current text colour.
        surface.setFont(a.font);
        writeText(surface, r.x, r.y, formatDate(a.dateTime, box.dateFormat));
        break;
    case BoxType::ComboBox:
        surface.setFont(a.font);
        writeText(surface, r.x, r.y, a.text);
        break;
    case BoxType::ColorPicker: fill(surface, r, a.color); break;
    case BoxType::BarcodeBox: drawBarcodeBox(box, target, factors, surface); break;
    case BoxType::None: break;
    }
}

} // namespace ordavel
