#pragma once
// The ruled structure of a scan: its skew, the horizontal and vertical rules
// (solid, dotted, faint or coloured), the regions the rules enclose and the
// ink that is not rules (characters, glyph check boxes, logos). Everything
// but the skew is in the coordinates of the deskewed picture.

#include "scan/scan_image.h"

#include <array>
#include <utility>
#include <vector>

namespace ordavel::scan {

struct Rule {
    PixelRect rect;
    bool horizontal = true;
    // Whether a rule of the other direction meets it at its start (left or
    // top) or end (right or bottom).
    bool joinedAtStart = false;
    bool joinedAtEnd = false;
};

// A region enclosed by rules: its bounding rectangle and how much of that the
// region fills (below 1 where nested regions or rules cut into it).
struct Region {
    PixelRect rect;
    double fill = 1.0;
};

// A connected piece of ink that is not part of a rule.
struct Blob {
    PixelRect rect;
    int ink = 0;            // pixels
    bool hollowSquare = false; // a printed "□": a square outline with nothing inside
};

struct Ruling {
    double skewDegrees = 0; // angle of the rules in the scan as given, clockwise positive
    double pxPerMm = 0;     // the scale the thresholds were taken at
    // How much darker than the paper the form's long rules are (grey
    // levels); 0 when there are too few to tell.
    double ruleDarkness = 0;
    Picture grey;           // the deskewed scan, grey
    // Deskewed -> given coordinates: x' = m[0] x + m[1] y + m[2], y' = m[3] x + m[4] y + m[5].
    std::array<double, 6> toScan{1, 0, 0, 0, 1, 0};
    std::vector<Rule> rules;
    std::vector<Region> regions;
    std::vector<Blob> blobs;
};

// Finds the structure of `picture` (grey or RGB) whose scale is `pxPerMm`.
Ruling findRuling(const Picture& picture, double pxPerMm);

// Bands of rows [top, bottom), top to bottom, each ruled at its own angle
// (forms pasted on one sheet at different slants); one band when they agree.
std::vector<std::pair<int, int>> skewBands(const Picture& picture, double pxPerMm);

// A grey crop of `grey` around `rect`, scaled by `scale`, with `margin`
// pixels of white (before scaling) added on each side.
Picture cropScaled(const Picture& grey, const PixelRect& rect, double scale, int margin);

// `crop` with every run of blank columns longer than `keep` cut to `keep`:
// letter-spaced print read as the words it spells.
Picture squeezeBlankColumns(const Picture& crop, int keep);

} // namespace ordavel::scan
