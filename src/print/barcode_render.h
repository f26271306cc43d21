#pragma once
// Placing a barcode symbol in a box and drawing it as filled rectangles.
//
// The symbol and its quiet zone are fitted inside the box, centred. Where
// the output has device dots of its own (a printer, a picture), every module
// is a whole number of dots: the module width asked for is rounded to the
// nearest dot (at least one), and shrunk to the largest whole number of dots
// that fits. Where it has not (a PDF file, the screen), the symbol takes the
// exact module width asked for, or fills the box. A box too small for one dot
// per module (in exact output: one dot at kReferenceDpi) draws nothing.

#include "model/box.h"
#include "model/units.h"
#include "print/barcode_encoder.h"
#include "print/box_render.h"
#include "print/surface.h"

#include <string>
#include <vector>

namespace ordavel {

// The resolution whose dot is the smallest module of exact output and of the
// property dialog's size check.
inline constexpr double kReferenceDpi = 300.0;

// The text a barcode box encodes: its data, for now as typed. Data merge
// substitutes record fields here, so print, preview, the board and the
// property dialog all encode the same text.
std::string barcodeData(const Box& box);

// An axis-parallel rectangle in surface units, fractions allowed.
struct AreaRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const AreaRect&, const AreaRect&) = default;
};

// Where and how a symbol is drawn.
struct BarcodeTarget {
    AreaRect box;              // the box, surface units
    double unitsPerMm = 10.0;  // surface units per millimetre
    double dot = 0.0;          // > 0: modules are whole multiples of it; 0: exact sizes
    double textHeight = 0.0;   // one line of the human-readable text (0: none drawn)
    double textWidth = 0.0;
};

struct BarcodePlan {
    bool fits = false;
    double module = 0.0;          // module width, surface units
    AreaRect ground;              // symbol, quiet zone and text, filled with the background
    std::vector<AreaRect> bars;   // the dark modules, runs of a row joined
    bool hasText = false;
    double textX = 0.0;           // top-left corner of the text cell, before rotation
    double textY = 0.0;
    int rotation = 0;             // clockwise degrees of the text
};

// Lays `symbol` out in `target.box` with the box's settings (module width,
// rotation, human-readable text on linear codes). `fits` is false when the
// box is too small; nothing else is set then.
BarcodePlan planBarcode(const BarcodeSymbol& symbol, const BarcodeSettings& settings, const BarcodeTarget& target);

// Draws a barcode box at its PrintRect: the background colour under the
// symbol and its quiet zone, the bars in the box's colour, the text in its
// font. Data that does not encode, and a box too small, draw nothing.
void drawBarcodeBox(const Box& box, RenderTarget target, const UnitFactors& factors, Surface& surface);

// Draws the box's symbol into `area` (surface units; `unitsPerMm` converts
// the module width). Used by the board and the dialog's preview.
void drawBarcodeIn(const Box& box, const AreaRect& area, double unitsPerMm, Surface& surface);

// Why the box prints no symbol, as the property dialog says it; "" when it
// prints one. The size check takes a printer of kReferenceDpi and a text line
// of `textHeightMm`.
std::string barcodeProblem(const Box& box, double textHeightMm);

} // namespace ordavel
