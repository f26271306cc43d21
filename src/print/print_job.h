#pragma once
// The print job's page: the paper size, the background picture's placement
// and the walk that draws every box. Printer units are 0.1 mm.

#include "model/document.h"
#include "print/surface.h"

#include <functional>
#include <optional>

namespace ordavel {

struct PaperSize {
    int widthHundredthsMm = 0;
    int heightHundredthsMm = 0;
    friend bool operator==(const PaperSize&, const PaperSize&) = default;
};

// The custom paper for the page as typed: each single-precision side rounded
// to the nearest 0.01 mm (21.3f cm, 21.2999992..., -> 21300; 12.7f -> 12700).
// Nothing when either side is not > 0: the printer keeps its current paper.
std::optional<PaperSize> paperSize(const PageSettings& page);

struct TenthsMmRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TenthsMmRect&, const TenthsMmRect&) = default;
};

// Where the background picture of natural size `picture` (pixels) prints for
// display mode imgShowType: 0 own size at the top left, 1 stretched over the
// paper, 2 centred (shrunk to fit the paper keeping its proportions when it
// is larger). Any other mode gives an empty rectangle.
TenthsMmRect backgroundPlacement(PixelSize picture, int imgShowType, float pageWidthCm,
                                 float pageHeightCm, const UnitFactors& factors);

// Called after each box with its slot index; returning false stops the walk.
using PrintProgress = std::function<bool(int index)>;

// Draws the page in printer units: text colour black, the background picture
// when isPrintBgPic is set and there is one, then every slot in index order
// (drawBox, target Printer), yielding after each box. Returns false when
// `progress` stopped the walk.
bool printPage(const Document& doc, Surface& surface, const PrintProgress& progress);
void printPage(const Document& doc, Surface& surface);

// What a slot's box draws as: the box itself or, in a batch, a record's merged
// copy (which only needs to stay valid until the next call).
using BoxFilter = std::function<const Box&(const Box& box)>;
// printPage with every box passed through `view` before it is drawn.
bool printPage(const Document& doc, Surface& surface, const PrintProgress& progress, const BoxFilter& view);

} // namespace ordavel
