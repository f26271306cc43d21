#include "print/print_job.h"

#include "print/box_render.h"
#include "print/print_units.h"

#include <cmath>

namespace ordavel {

namespace {

constexpr double kEpsilon = 1e-7; // cm

int tenthsMm(double cm) { return truncateUnits(roundTo(cm, 2) * 100.0); }

} // namespace

std::optional<PaperSize> paperSize(const PageSettings& page)
{
    const double width = static_cast<double>(page.pageWidth);
    const double height = static_cast<double>(page.pageHeight);
    if (!(width > 0.0 && height > 0.0))
        return std::nullopt;
    // Rounding, not truncation: a float a hair below the typed value must not
    // lose a hundredth of a millimetre (0.01 mm is 0.001 cm).
    const auto hundredthsMm = [](double cm) { return static_cast<int>(std::lround(cm * 1000.0)); };
    return PaperSize{hundredthsMm(width), hundredthsMm(height)};
}

TenthsMmRect backgroundPlacement(PixelSize picture, int imgShowType, float pageWidthCm,
                                 float pageHeightCm, const UnitFactors& factors)
{
    const double pageW = static_cast<double>(pageWidthCm);
    const double pageH = static_cast<double>(pageHeightCm);
    double x = 0, y = 0, w = 0, h = 0;
    switch (imgShowType) {
    case 0:
        w = picture.width / factors.boxPxPerCmX;
        h = picture.height / factors.boxPxPerCmY;
        break;
    case 1:
        w = pageW;
        h = pageH;
        break;
    case 2: {
        w = picture.width / factors.boxPxPerCmX;
        h = picture.height / factors.boxPxPerCmY;
        const double spareW = pageW - w;
        const double spareH = pageH - h;
        bool fitWidth = false;
        bool fitHeight = false;
        if (spareW > kEpsilon && spareH > kEpsilon) {
            x = spareW / 2;
            y = spareH / 2;
        } else if (spareW < -kEpsilon && spareH < -kEpsilon) {
            (w - h > kEpsilon ? fitWidth : fitHeight) = true;
        } else if (spareW > kEpsilon && spareH < -kEpsilon) {
            fitHeight = true;
        } else if (spareW < -kEpsilon && spareH > kEpsilon) {
            fitWidth = true;
        }
        if (fitWidth) {
            const double ratio = pageW / w;
            w = pageW;
            h *= ratio;
            y = (pageH - h) / 2;
        } else if (fitHeight) {
            const double ratio = pageH / h;
            h = pageH;
            w *= ratio;
            x = (pageW - w) / 2;
        }
        break;
    }
    default: break;
    }
    return {tenthsMm(x), tenthsMm(y), tenthsMm(w), tenthsMm(h)};
}

bool printPage(const Document& doc, Surface& surface, const PrintProgress& progress)
{
    return printPage(doc, surface, progress, {});
}

bool printPage(const Document& doc, Surface& surface, const PrintProgress& progress, const BoxFilter& view)
{
    surface.setTextColor(kBlack);
    const PageSettings& page = doc.page();
    if (page.isPrintBgPic && !page.background.empty()) {
        if (const auto size = surface.pictureSize(page.background)) {
            const TenthsMmRect r = backgroundPlacement(*size, page.imgShowType, page.pageWidth,
                                                       page.pageHeight, doc.factors());
            if (r.width > 0 && r.height > 0)
                surface.drawPicture(page.background, r.x, r.y, r.width, r.height);
        }
    }
    // Indices, and the slot count re-read each turn: the yield may run
    // events that change the document.
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& box = doc.box(index);
        drawBox(view ? view(box) : box, RenderTarget::Printer, doc.factors(), surface);
        doc.yieldNow();
        if (progress && !progress(index))
            return false;
    }
    return true;
}

void printPage(const Document& doc, Surface& surface) { printPage(doc, surface, {}); }

} // namespace ordavel
