#pragma once
// A generated form and the fields drawn on it, in pixels of the picture as
// written: the truth a scan analysis is measured against.

#include <QRectF>
#include <QString>

#include <string>
#include <vector>

namespace ordavel::scanforms {

// What a field looks like on paper.
//   cell:        a ruled cell (or the writable part of one after its caption)
//   underline:   the space above a printed line or dotted leader
//   blank:       open space after a caption and its colon, no line
//   checkbox:    a small square to tick
//   digit_cells: a row of one-character boxes (amounts, phone numbers)
struct TruthField {
    QRectF rect;          // pixels; axis-aligned, centred on the field as warped
    std::string kind;
    std::string caption;  // as printed, without its colon
    std::string language; // "zh" or "en"
};

struct FormTruth {
    std::string image;    // file name beside the truth file
    int family = 0;
    std::string familyName;
    unsigned seed = 0;
    std::string split;    // "tune" or "measure"
    int width = 0;
    int height = 0;
    double dpi = 0;
    double paperWidthCm = 0;
    double paperHeightCm = 0;
    double skewDegrees = 0;
    std::string capture;  // "scan" or "photo"
    std::vector<TruthField> fields;
};

// The JSON written beside each picture, with the keys of the hand-made
// annotations (image, width, height, paper_cm, fields with x, y, w, h, kind,
// caption) and the generator's own (family, seed, split, language, dpi).
std::string truthJson(const FormTruth& truth);

} // namespace ordavel::scanforms
