#include "model/units.h"

#include <cmath>

namespace ordavel {

double roundTo(double value, int digits)
{
    if (value == 0.0 || std::isnan(value))
        return value;
    const double scale = std::pow(10.0, digits);
    const double magnitude = std::floor(std::fabs(value) * scale + 1e-12 + 0.5) / scale;
    return value < 0 ? -magnitude : magnitude;
}

UnitFactors UnitFactors::fromDpi(double dotsPerInchY)
{
    const double perCm = dotsPerInchY / 2.54;
    return UnitFactors{perCm, perCm, perCm, perCm};
}

double UnitFactors::boxCmX(int px) const { return roundTo(px / boxPxPerCmX, 2); }
double UnitFactors::boxCmY(int px) const { return roundTo(px / boxPxPerCmY, 2); }
int UnitFactors::previewPxX(double cm) const { return static_cast<int>(cm * boxPxPerCmX); }
int UnitFactors::previewPxY(double cm) const { return static_cast<int>(cm * boxPxPerCmY); }
int UnitFactors::boardPxX(double cm) const { return static_cast<int>(roundTo(cm * pagePxPerCmX, 0)); }
int UnitFactors::boardPxY(double cm) const { return static_cast<int>(roundTo(cm * pagePxPerCmY, 0)); }
double UnitFactors::pageCmX(int px) const { return roundTo(px / pagePxPerCmX, 2); }
double UnitFactors::pageCmY(int px) const { return roundTo(px / pagePxPerCmY, 2); }

int cmToPrintUnits(double cm) { return static_cast<int>(cm * 100.0); }

} // namespace ordavel
