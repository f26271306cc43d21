#pragma once
// The single unit system: screen pixels, paper centimetres and printer units
// (tenths of a millimetre), and the decimal rounding every conversion uses.

namespace ordavel {

// Decimal rounding: halves go away from zero after a nudge of 1e-12.
// digits < 0 rounds to tens, hundreds, ...; zero and NaN come back unchanged.
double roundTo(double value, int digits);

// Pixels per centimetre. All four come from the display's vertical dots per
// inch; the caller supplies that value (the core never reads a screen).
struct UnitFactors {
    double pagePxPerCmX = 96.0 / 2.54;
    double pagePxPerCmY = 96.0 / 2.54;
    double boxPxPerCmX = 96.0 / 2.54;
    double boxPxPerCmY = 96.0 / 2.54;

    static UnitFactors fromDpi(double dotsPerInchY);

    // Box pixels -> centimetres (EditRect -> PrintRect), two decimals.
    double boxCmX(int px) const;
    double boxCmY(int px) const;
    // Centimetres -> preview pixels, truncated toward zero.
    int previewPxX(double cm) const;
    int previewPxY(double cm) const;
    // Paper centimetres -> board pixels (new document), rounded.
    int boardPxX(double cm) const;
    int boardPxY(double cm) const;
    // Dialog read-out pixels -> centimetres, two decimals.
    double pageCmX(int px) const;
    double pageCmY(int px) const;
};

// Centimetres -> printer units of 0.1 mm, truncated toward zero.
int cmToPrintUnits(double cm);

} // namespace ordavel
