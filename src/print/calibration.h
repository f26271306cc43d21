#pragma once
// A printer's calibration: the correction the print job applies so that what
// a printer puts on paper lands where the template says. From the paper's
// top-left corner, in millimetres:
//     printed = offset + scale x designed   (per axis, scale in percent)
// plus a page-length correction added to the paper height sent to the
// printer (continuous forms). The identity calibration changes nothing.

#include <optional>
#include <string>

namespace ordavel {

struct Calibration {
    double offsetXMm = 0.0;
    double offsetYMm = 0.0;
    double scaleXPercent = 100.0;
    double scaleYPercent = 100.0;
    double pageLengthMm = 0.0;

    // True when drawing and paper are left exactly as designed.
    bool isIdentity() const;
    // Printed position (mm) of a designed position (mm).
    double printedXMm(double designedMm) const;
    double printedYMm(double designedMm) const;

    friend bool operator==(const Calibration&, const Calibration&) = default;
};

// The limits a calibration must keep.
inline constexpr double kMaxOffsetMm = 30.0;
inline constexpr double kMinScalePercent = 90.0;
inline constexpr double kMaxScalePercent = 110.0;
inline constexpr double kMaxPageLengthMm = 10.0;

// Which value is wrong. Crosses: the two measured crosses are not apart in
// the order of the page (second right of and below the first).
enum class CalibrationField { OffsetX, OffsetY, ScaleX, ScaleY, PageLength, Crosses };

struct CalibrationFault {
    CalibrationField field = CalibrationField::OffsetX;
    double value = 0.0; // the offending value (mm or percent); 0 for Crosses
    friend bool operator==(const CalibrationFault&, const CalibrationFault&) = default;
};

// The first value outside its limits (offsets within +-30 mm, scales within
// 90..110 %, page length within +-10 mm; NaN and infinities are outside), in
// the order of the fields; nothing when the calibration is acceptable.
std::optional<CalibrationFault> checkCalibration(const Calibration& calibration);

// The fault in the program's words, e.g. "水平偏移 35.00 毫米超出范围（-30 到 30 毫米）".
std::string calibrationFaultText(const CalibrationFault& fault);
// The same in English for the command line, e.g. "offset X 35.00 mm is outside -30 to 30 mm".
std::string calibrationFaultTextEnglish(const CalibrationFault& fault);

// For the user: "偏移 X 1.50 毫米，Y -0.80 毫米；比例 X 100.200%，Y 99.800%",
// followed by "；页长 +0.20 毫米" when there is a page-length correction;
// "无" for the identity.
std::string describeCalibration(const Calibration& calibration);

// A point on the paper in millimetres from its top-left corner.
struct PointMm {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const PointMm&, const PointMm&) = default;
};

// The calibration page's crosses sit this far in from each corner of the paper.
inline constexpr double kCrossInsetMm = 10.0;

// Where the user found the calibration page's top-left and bottom-right
// crosses, measured from the paper's left and top edges.
struct MeasuredCrosses {
    PointMm topLeft;
    PointMm bottomRight;
};

struct CalibrationSolution {
    std::optional<Calibration> calibration; // set when solved and within limits
    std::optional<CalibrationFault> fault;  // set otherwise
};

// The correction that brings the measured crosses back to their nominal
// places on a page of paperWidthMm x paperHeightMm (calibrationCrosses). Per
// axis, the printer maps designed d to printed a + b d; the two crosses give
// a and b, and the correction is its inverse (offset -a/b, scale 1/b). The
// page-length correction is left 0. A fault when the crosses do not span
// the page in order or the result is outside the limits.
CalibrationSolution solveCalibration(const MeasuredCrosses& measured, double paperWidthMm,
                                     double paperHeightMm);

} // namespace ordavel
