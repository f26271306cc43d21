#pragma once
// Text that shrinks to fit its box: a text too wide (or, in several lines,
// too tall) for its print rectangle is drawn at the largest point size, from
// the box's own down to a smallest one, at which it fits.

#include "model/box.h"
#include "print/surface.h"

#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// The lines of a text as a box draws them: split at CR, LF and CR LF.
std::vector<std::string_view> textLines(std::string_view text);

// Whether a box wraps its text within its width: a multi-line text box or a
// label that breaks its lines.
bool wrapsText(const Box& box);

// The lines of a text wrapped, in the surface's current font, within `width`
// surface units: each of the text's own lines is broken at spaces and between
// CJK characters (never before closing punctuation such as ， or 。), the
// spaces at a break dropped. A word wider than the width keeps a line of its
// own and stays too wide.
std::vector<std::string> wrapLines(const Surface& surface, std::string_view text, int width);

// Whether the text, in the surface's current font, fits a rectangle of
// width x height surface units: every line no wider than the width and,
// for more than one line, the lines (each advancing by the line height plus
// two device pixels) no taller than the height.
bool textFits(const Surface& surface, std::string_view text, int width, int height);
// The same for lines already broken.
bool linesFit(const Surface& surface, const std::vector<std::string>& lines, int width, int height);

// Sizes are tried in steps of half a point.
inline constexpr double kShrinkStep = 0.5;

struct TextFit {
    double size = 0;   // the point size chosen
    bool fits = false; // false: too large even at the smallest size
    std::string text;  // the text as drawn: wrapped lines joined by LF
};

// Sets the surface's font to `font` at the largest size, in half points from
// its own (9 when not > 0) down to `smallest`, at which the text fits, or
// at `smallest` when none does. A font already no larger than `smallest`
// keeps its size.
// With `wrap`, the text is wrapped (wrapLines) anew at every size tried and
// the wrapped lines must fit.
TextFit shrinkToFit(Surface& surface, std::string_view text, FontSpec font, int smallest, int width, int height,
                    bool wrap = false);

// The size of a box's print rectangle on paper, in 0.1 mm, as it prints.
int printUnits(double cm);

} // namespace ordavel
