#include "print/calibration.h"

#include <cmath>
#include <cstdio>

namespace ordavel {

bool Calibration::isIdentity() const
{
    return offsetXMm == 0.0 && offsetYMm == 0.0 && scaleXPercent == 100.0 && scaleYPercent == 100.0
        && pageLengthMm == 0.0;
}

double Calibration::printedXMm(double designedMm) const
{
    return offsetXMm + scaleXPercent / 100.0 * designedMm;
}

double Calibration::printedYMm(double designedMm) const
{
    return offsetYMm + scaleYPercent / 100.0 * designedMm;
}

namespace {

bool within(double value, double low, double high) { return value >= low && value <= high; }

std::string formatValue(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

} // namespace

std::optional<CalibrationFault> checkCalibration(const Calibration& c)
{
    // NaN fails every comparison, so `within` refuses it as well as infinities.
    if (!within(c.offsetXMm, -kMaxOffsetMm, kMaxOffsetMm))
        return CalibrationFault{CalibrationField::OffsetX, c.offsetXMm};
    if (!within(c.offsetYMm, -kMaxOffsetMm, kMaxOffsetMm))
        return CalibrationFault{CalibrationField::OffsetY, c.offsetYMm};
    if (!within(c.scaleXPercent, kMinScalePercent, kMaxScalePercent))
        return CalibrationFault{CalibrationField::ScaleX, c.scaleXPercent};
    if (!within(c.scaleYPercent, kMinScalePercent, kMaxScalePercent))
        return CalibrationFault{CalibrationField::ScaleY, c.scaleYPercent};
    if (!within(c.pageLengthMm, -kMaxPageLengthMm, kMaxPageLengthMm))
        return CalibrationFault{CalibrationField::PageLength, c.pageLengthMm};
    return std::nullopt;
}

std::string calibrationFaultText(const CalibrationFault& fault)
{
    const std::string value = formatValue(fault.value);
    switch (fault.field) {
    case CalibrationField::OffsetX: return "水平偏移 " + value + " 毫米超出范围（-30 到 30 毫米）";
    case CalibrationField::OffsetY: return "垂直偏移 " + value + " 毫米超出范围（-30 到 30 毫米）";
    case CalibrationField::ScaleX: return "水平比例 " + value + "% 超出范围（90% 到 110%）";
    case CalibrationField::ScaleY: return "垂直比例 " + value + "% 超出范围（90% 到 110%）";
    case CalibrationField::PageLength: return "页长修正 " + value + " 毫米超出范围（-10 到 10 毫米）";
    case CalibrationField::Crosses:
        return "量得的右下十字须在左上十字的右下方，请检查输入的四个数";
    }
    return {};
}

std::string calibrationFaultTextEnglish(const CalibrationFault& fault)
{
    const std::string value = formatValue(fault.value);
    switch (fault.field) {
    case CalibrationField::OffsetX: return "offset X " + value + " mm is outside -30 to 30 mm";
    case CalibrationField::OffsetY: return "offset Y " + value + " mm is outside -30 to 30 mm";
    case CalibrationField::ScaleX: return "scale X " + value + " % is outside 90 to 110 %";
    case CalibrationField::ScaleY: return "scale Y " + value + " % is outside 90 to 110 %";
    case CalibrationField::PageLength: return "page length " + value + " mm is outside -10 to 10 mm";
    case CalibrationField::Crosses:
        return "the bottom-right cross must be measured right of and below the top-left one";
    }
    return {};
}

std::string describeCalibration(const Calibration& c)
{
    if (c.isIdentity())
        return "无";
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "偏移 X %.2f 毫米，Y %.2f 毫米；比例 X %.3f%%，Y %.3f%%", c.offsetXMm,
                  c.offsetYMm, c.scaleXPercent, c.scaleYPercent);
    std::string text = buffer;
    if (c.pageLengthMm != 0.0) {
        std::snprintf(buffer, sizeof buffer, "；页长 %+.2f 毫米", c.pageLengthMm);
        text += buffer;
    }
    return text;
}

CalibrationSolution solveCalibration(const MeasuredCrosses& measured, double paperWidthMm,
                                     double paperHeightMm)
{
    const PointMm first{kCrossInsetMm, kCrossInsetMm};
    const PointMm second{paperWidthMm - kCrossInsetMm, paperHeightMm - kCrossInsetMm};
    const double spanX = second.x - first.x;
    const double spanY = second.y - first.y;
    const double measuredX = measured.bottomRight.x - measured.topLeft.x;
    const double measuredY = measured.bottomRight.y - measured.topLeft.y;
    // Also refuses NaN: every comparison with it is false.
    if (!(spanX > 0.0 && spanY > 0.0 && measuredX > 0.0 && measuredY > 0.0)
        || !std::isfinite(measuredX) || !std::isfinite(measuredY))
        return {std::nullopt, CalibrationFault{CalibrationField::Crosses, 0.0}};

    // The printer: printed = a + b * designed. The correction undoes it.
    const double bX = measuredX / spanX;
    const double bY = measuredY / spanY;
    const double aX = measured.topLeft.x - bX * first.x;
    const double aY = measured.topLeft.y - bY * first.y;
    Calibration c;
    c.offsetXMm = -aX / bX;
    c.offsetYMm = -aY / bY;
    c.scaleXPercent = 100.0 / bX;
    c.scaleYPercent = 100.0 / bY;
    if (const auto fault = checkCalibration(c))
        return {std::nullopt, fault};
    return {c, std::nullopt};
}

} // namespace ordavel
