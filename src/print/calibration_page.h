#pragma once
// The calibration page: millimetre rulers along the top and left edges
// (labelled in centimetres), five crosses with their nominal positions
// written beside them, the printer's name and the date. The user prints it
// without a correction, measures where the top-left and bottom-right crosses
// landed and solves the calibration from them (solveCalibration).

#include "print/calibration.h"
#include "print/surface.h"

#include <string>
#include <vector>

namespace ordavel {

struct CalibrationPage {
    double widthMm = 210.0;
    double heightMm = 297.0;
    std::string printerName; // printed as given; may be empty
    std::string date;        // printed as given, e.g. "2026-12-08"
};

// The smallest paper side the page can be drawn on (the crosses must not meet).
inline constexpr double kMinCalibrationPaperMm = 50.0;

// Centres of the crosses in mm: top-left, top-right, bottom-left,
// bottom-right (kCrossInsetMm in from each corner), then the centre.
std::vector<PointMm> calibrationCrosses(double widthMm, double heightMm);

// The nominal position as written beside a cross, e.g. "(10.0, 10.0) mm".
std::string crossLabel(PointMm cross);

// Draws the page in printer units (0.1 mm from the sheet's top-left corner).
// Each cross is a pair of 0.2 mm lines 6 mm long centred on its point.
void drawCalibrationPage(const CalibrationPage& page, Surface& surface);

} // namespace ordavel
