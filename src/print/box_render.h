#pragma once
// Drawing one box at its PrintRect onto a surface, as it appears on paper.

#include "model/box.h"
#include "model/units.h"
#include "print/surface.h"

#include <string>

namespace ordavel {

// Preview: surface units are panel pixels (PrintRect x boxPxPerCm).
// Printer: surface units are 0.1 mm (PrintRect x 100).
enum class RenderTarget { Preview = 0, Printer = 1 };

// Draws `box` if it is in use and printed; free slots and boxes with isPrint
// off draw nothing. Only the text colour is left changed on the surface:
// after shapes, colour blocks and empty pictures the pen width is 1 and the
// brush hollow white.
void drawBox(const Box& box, RenderTarget target, const UnitFactors& factors, Surface& surface);

// The printed text of a date in one of the formats 0..8 (numbers without
// leading zeros); empty for any other format.
std::string formatDate(const DateTime& value, int dateFormat);

} // namespace ordavel
