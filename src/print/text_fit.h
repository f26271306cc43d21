#pragma once
// Text that shrinks to fit its box: a text too wide (or, in several lines,
// too tall) for its print rectangle is drawn at the largest point size, from
// the box's own down to a smallest one, at which it fits.

#include "model/box.h"
#include "print/surface.h"

#include <string_view>
#include <vector>

namespace ordavel {

// The lines of a text as a box draws them: split at CR, LF and CR LF.
std::vector<std::string_view> textLines(std::string_view text);

// Whether the text, in the surface's current font, fits a rectangle of
// width x height surface units: every line no wider than the width and,
// for more than one line, the lines (each advancing by the line height plus
// two device pixels) no taller than the height.
bool textFits(const Surface& surface, std::string_view text, int width, int height);

// Sizes are tried in steps of half a point.
inline constexpr double kShrinkStep = 0.5;

struct TextFit {
    double size = 0;   // the point size chosen
    bool fits = false; // false: too large even at the smallest size
};

// Sets the surface's font to `font` at the largest size, in half points from
// its own (9 when not > 0) down to `smallest`, at which the text fits, or
// at `smallest` when none does. A font already no larger than `smallest`
// keeps its size.
TextFit shrinkToFit(Surface& surface, std::string_view text, FontSpec font, int smallest, int width, int height);

// The size of a box's print rectangle on paper, in 0.1 mm, as it prints.
int printUnits(double cm);

} // namespace ordavel
