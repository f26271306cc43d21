#include "print/barcode_render.h"

#include "model/barcode_settings.h"

#include <algorithm>
#include <cmath>

namespace ordavel {

namespace {

// Dots a length holds, forgiving the last bits of floating-point error.
double wholeDots(double length, double dot) { return std::floor(length / dot + 1e-9); }

// Maps a rectangle of the unrotated symbol frame (sw x sh) into the frame
// turned clockwise by `rotation` degrees.
AreaRect rotateRect(const AreaRect& r, double sw, double sh, int rotation)
{
    switch (rotation) {
    case 90: return {sh - r.y - r.height, r.x, r.height, r.width};
    case 180: return {sw - r.x - r.width, sh - r.y - r.height, r.width, r.height};
    case 270: return {r.y, sw - r.x - r.width, r.height, r.width};
    default: return r;
    }
}

void rotatePoint(double u, double v, double sw, double sh, int rotation, double& x, double& y)
{
    switch (rotation) {
    case 90: x = sh - v; y = u; break;
    case 180: x = sw - u; y = sh - v; break;
    case 270: x = v; y = sw - u; break;
    default: x = u; y = v; break;
    }
}

// Dark runs of one row, joined, as rectangles of the unrotated frame.
void addRuns(const BarcodeSymbol& symbol, int row, double left, double top, double module, double height,
             std::vector<AreaRect>& out)
{
    int column = 0;
    while (column < symbol.columns) {
        if (!symbol.isDark(row, column)) {
            ++column;
            continue;
        }
        const int start = column;
        while (column < symbol.columns && symbol.isDark(row, column))
            ++column;
        out.push_back({left + start * module, top, (column - start) * module, height});
    }
}

} // namespace

std::string barcodeData(const Box& box) { return box.attributes.text; }

BarcodePlan planBarcode(const BarcodeSymbol& symbol, const BarcodeSettings& settings, const BarcodeTarget& target)
{
    BarcodePlan plan;
    if (symbol.columns <= 0 || symbol.rows <= 0)
        return plan;
    const int rotation = isValidRotation(settings.rotation) ? settings.rotation : 0;
    const bool turned = rotation == 90 || rotation == 270;
    // Room for the unrotated symbol.
    const double roomWidth = turned ? target.box.height : target.box.width;
    const double roomHeight = turned ? target.box.width : target.box.height;
    const bool snap = target.dot > 0.0;

    const int modulesAcross = symbol.quiet.left + symbol.columns + symbol.quiet.right;
    const int modulesDown = symbol.quiet.top + symbol.totalRowHeight() + symbol.quiet.bottom;
    double largest = roomWidth / modulesAcross;
    if (!symbol.linear)
        largest = std::min(largest, roomHeight / modulesDown);

    const double asked = settings.moduleMm > 0.0 ? settings.moduleMm * target.unitsPerMm : 0.0;
    double module = 0.0;
    if (snap) {
        const double largestDots = wholeDots(largest, target.dot);
        if (largestDots < 1.0)
            return plan;
        const double dots = asked > 0.0 ? std::clamp(std::round(asked / target.dot), 1.0, largestDots) : largestDots;
        module = dots * target.dot;
    } else {
        const double smallest = target.unitsPerMm * 25.4 / kReferenceDpi;
        if (!(largest >= smallest))
            return plan;
        module = asked > 0.0 ? std::min(asked, largest) : largest;
    }

    const double symbolWidth = modulesAcross * module;
    double symbolHeight = symbol.linear ? roomHeight : modulesDown * module;
    if (snap)
        symbolHeight = wholeDots(symbolHeight, target.dot) * target.dot;
    const bool text = symbol.linear && settings.humanReadable && target.textHeight > 0.0
        && !symbol.humanReadable.empty();
    double barHeight = symbolHeight;
    if (text) {
        barHeight = symbolHeight - target.textHeight;
        if (snap)
            barHeight = wholeDots(barHeight, target.dot) * target.dot;
    }
    if (!(barHeight > 0.0))
        return plan;

    // Centred in the box; on dots, from a whole dot.
    const double placedWidth = turned ? symbolHeight : symbolWidth;
    const double placedHeight = turned ? symbolWidth : symbolHeight;
    double originX = target.box.x + (target.box.width - placedWidth) / 2.0;
    double originY = target.box.y + (target.box.height - placedHeight) / 2.0;
    if (snap) {
        originX = std::round(originX / target.dot) * target.dot;
        originY = std::round(originY / target.dot) * target.dot;
    }

    plan.fits = true;
    plan.module = module;
    plan.rotation = rotation;
    const auto place = [&](const AreaRect& r) {
        AreaRect turnedRect = rotateRect(r, symbolWidth, symbolHeight, rotation);
        turnedRect.x += originX;
        turnedRect.y += originY;
        return turnedRect;
    };
    plan.ground = place({0.0, 0.0, symbolWidth, symbolHeight});
    const double left = symbol.quiet.left * module;
    if (symbol.linear) {
        addRuns(symbol, 0, left, 0.0, module, barHeight, plan.bars);
    } else {
        double top = symbol.quiet.top * module;
        for (int row = 0; row < symbol.rows; ++row) {
            const double height = symbol.rowHeights[static_cast<std::size_t>(row)] * module;
            addRuns(symbol, row, left, top, module, height, plan.bars);
            top += height;
        }
    }
    for (AreaRect& bar : plan.bars)
        bar = place(bar);
    if (text) {
        plan.hasText = true;
        rotatePoint((symbolWidth - target.textWidth) / 2.0, barHeight, symbolWidth, symbolHeight, rotation,
                    plan.textX, plan.textY);
        plan.textX += originX;
        plan.textY += originY;
    }
    return plan;
}

void drawBarcodeIn(const Box& box, const AreaRect& area, double unitsPerMm, Surface& surface)
{
    const BoxAttributes& a = box.attributes;
    const BarcodeEncoding encoding = encodeBarcode(a.barcode.symbology, barcodeData(box), a.barcode.ecc);
    if (!encoding.ok())
        return;
    BarcodeTarget target;
    target.box = area;
    target.unitsPerMm = unitsPerMm;
    target.dot = surface.exactGeometry() ? 0.0 : surface.devicePixel();
    const bool text = encoding.symbol.linear && a.barcode.humanReadable && !encoding.symbol.humanReadable.empty();
    if (text) {
        surface.setFont(a.font);
        target.textHeight = surface.textLineHeight();
        target.textWidth = surface.textWidth(encoding.symbol.humanReadable);
    }
    const BarcodePlan plan = planBarcode(encoding.symbol, a.barcode, target);
    if (!plan.fits)
        return;
    const AreaRect& g = plan.ground;
    surface.fillArea(g.x, g.y, g.width, g.height, a.bgColor);
    for (const AreaRect& bar : plan.bars)
        surface.fillArea(bar.x, bar.y, bar.width, bar.height, a.textColor);
    if (plan.hasText) {
        surface.setTextColor(a.textColor);
        surface.drawRotatedTextLine(plan.textX, plan.textY, plan.rotation, encoding.symbol.humanReadable);
    }
}

void drawBarcodeBox(const Box& box, RenderTarget target, const UnitFactors& factors, Surface& surface)
{
    // Exact values: a symbol's place is not truncated to whole units.
    const bool printer = target == RenderTarget::Printer;
    const double fx = printer ? 100.0 : factors.boxPxPerCmX;
    const double fy = printer ? 100.0 : factors.boxPxPerCmY;
    const PrintRect& r = box.printRect;
    drawBarcodeIn(box, AreaRect{r.left * fx, r.top * fy, r.width * fx, r.height * fy}, fx / 10.0, surface);
}

std::string barcodeProblem(const Box& box, double textHeightMm)
{
    const BoxAttributes& a = box.attributes;
    const BarcodeEncoding encoding = encodeBarcode(a.barcode.symbology, barcodeData(box), a.barcode.ecc);
    if (!encoding.ok())
        return encoding.error;
    BarcodeTarget target;
    target.box = AreaRect{0.0, 0.0, box.printRect.width * 10.0, box.printRect.height * 10.0};
    target.unitsPerMm = 1.0;
    target.dot = 25.4 / kReferenceDpi;
    target.textHeight = textHeightMm;
    if (!planBarcode(encoding.symbol, a.barcode, target).fits)
        return "条码框太小，每个模块不足一个打印点，打印时不输出条码。";
    return {};
}

} // namespace ordavel
