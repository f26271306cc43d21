#include "model/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ordavel {
namespace {

TEST(RoundTo, RoundsHalvesAwayFromZeroAfterTheNudge)
{
    EXPECT_DOUBLE_EQ(roundTo(100 / (96 / 2.54), 2), 2.65);
    EXPECT_DOUBLE_EQ(roundTo(2.5, 0), 3.0);
    EXPECT_DOUBLE_EQ(roundTo(-2.5, 0), -3.0);
    EXPECT_DOUBLE_EQ(roundTo(-2.4, 0), -2.0);
    // 1.005 is stored as 1.00499999999999989...; the nudge carries it up.
    EXPECT_DOUBLE_EQ(roundTo(1.005, 2), 1.01);
    EXPECT_DOUBLE_EQ(roundTo(0.125, 2), 0.13);
    EXPECT_DOUBLE_EQ(roundTo(0.1249, 2), 0.12);
}

TEST(RoundTo, NegativeDigitsRoundToTensAndHundreds)
{
    EXPECT_DOUBLE_EQ(roundTo(1234.0, -1), 1230.0);
    EXPECT_DOUBLE_EQ(roundTo(1250.0, -2), 1300.0);
    EXPECT_DOUBLE_EQ(roundTo(-1250.0, -2), -1300.0);
}

TEST(RoundTo, ZeroAndNanComeBackUnchanged)
{
    EXPECT_TRUE(std::signbit(roundTo(-0.0, 2)));
    EXPECT_TRUE(std::isnan(roundTo(std::numeric_limits<double>::quiet_NaN(), 2)));
}

TEST(UnitFactors, AllFourComeFromTheVerticalDpi)
{
    const UnitFactors at96 = UnitFactors::fromDpi(96);
    EXPECT_NEAR(at96.pagePxPerCmX, 37.795275590551, 1e-9);
    EXPECT_EQ(at96.pagePxPerCmX, at96.boxPxPerCmY);
    const UnitFactors at120 = UnitFactors::fromDpi(120);
    EXPECT_NEAR(at120.boxPxPerCmX, 47.244094488188, 1e-9);
    EXPECT_EQ(at120.boxPxPerCmX, at120.pagePxPerCmY);
}

TEST(UnitFactors, ConversionsRoundOrTruncateAsEachOneSays)
{
    const UnitFactors f = UnitFactors::fromDpi(96);
    EXPECT_DOUBLE_EQ(f.boxCmX(100), 2.65);
    EXPECT_DOUBLE_EQ(f.boxCmY(20), 0.53);
    EXPECT_EQ(f.boardPxX(21.0), 794);  // 793.7
    EXPECT_EQ(f.boardPxY(29.0), 1096); // 1096.06
    EXPECT_EQ(f.previewPxX(2.65), 100); // 100.157... truncated
    EXPECT_EQ(f.previewPxY(0.99), 37);  // 37.417... truncated
    EXPECT_DOUBLE_EQ(f.pageCmX(794), 21.01);
    EXPECT_EQ(cmToPrintUnits(1.15), 114); // 114.999... truncated, not rounded
    EXPECT_EQ(cmToPrintUnits(-1.5), -150);
}

} // namespace
} // namespace ordavel
