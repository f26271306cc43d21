#include "designer/workbench_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <ostream>

namespace ordavel {
namespace {

struct LayoutCase {
    std::string name;
    int paperWidth, paperHeight;
    int paperLeft;
    bool hBar, vBar;
    int hMax, vMax; // checked only when the bar shows
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const LayoutCase& row, std::ostream* os) { *os << row.name; }

// A 1000 x 600 client with 18-pixel bars: the visible area is 982 x 582.
class ContentLayoutTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ContentLayoutTable, PlacesPaperBarsAndFiller)
{
    const LayoutCase& c = GetParam();
    ContentInput in;
    in.clientWidth = 1000;
    in.clientHeight = 600;
    in.paperWidth = c.paperWidth;
    in.paperHeight = c.paperHeight;
    const ContentLayout out = layOutContents(in);
    EXPECT_EQ(out.paperLeft, c.paperLeft);
    EXPECT_EQ(out.paperTop, 5);
    EXPECT_EQ(out.hBar.visible, c.hBar);
    EXPECT_EQ(out.vBar.visible, c.vBar);
    if (c.hBar) {
        EXPECT_EQ(out.hBar.maximum, c.hMax);
        EXPECT_EQ(out.hBar.rect, (Rect{0, 582, 982, 18}));
    }
    if (c.vBar) {
        EXPECT_EQ(out.vBar.maximum, c.vMax);
        EXPECT_EQ(out.vBar.rect, (Rect{982, 0, 18, 582}));
    }
    EXPECT_EQ(out.fillerVisible, c.hBar && c.vBar);
    EXPECT_EQ(out.filler, (Rect{982, 582, 18, 18}));
}

INSTANTIATE_TEST_SUITE_P(
    Boards, ContentLayoutTable,
    ::testing::Values(
        // (982 - 400) / 2 = 291; halves round away from zero: (982 - 401) / 2 = 290.5 -> 291.
        LayoutCase{"NarrowBoardIsCentred", 400, 300, 291, false, false, 0, 0},
        LayoutCase{"OddDifferenceRoundsHalfUp", 401, 300, 291, false, false, 0, 0},
        // Exactly as wide as the visible area: not narrower, so left 5, and 5 + 982 overflows.
        LayoutCase{"BoardAsWideAsVisibleAreaStartsAt5", 982, 300, 5, true, false, 5 + 982 + 18 - 1000 + 10, 0},
        LayoutCase{"WideBoardGetsHorizontalBar", 2000, 300, 5, true, false, 5 + 2000 + 18 - 1000 + 10, 0},
        // 5 + 577 = 582 fits exactly; one more pixel needs the bar.
        LayoutCase{"BoardFillingTheHeightNeedsNoBar", 400, 577, 291, false, false, 0, 0},
        LayoutCase{"TallBoardGetsVerticalBar", 400, 578, 291, false, true, 0, 5 + 578 + 18 - 600 + 10},
        LayoutCase{"LargeBoardGetsBothBarsAndFiller", 1500, 1100, 5, true, true, 5 + 1500 + 18 - 1000 + 10,
                   5 + 1100 + 18 - 600 + 10},
        // A centred board that still overflows (wider than CW - VW is impossible when centred),
        // so a narrow board never shows the horizontal bar.
        LayoutCase{"NarrowTallBoardHasOnlyVerticalBar", 900, 2000, 41, false, true, 0, 5 + 2000 + 18 - 600 + 10}),
    [](const ::testing::TestParamInfo<LayoutCase>& row) { return row.param.name; });

TEST(BackgroundPanel, FillsClientBetweenToolbarsAndStatusBarLessOnePixel)
{
    FrameMetrics frame{1024, 700, 60, true, 34, 22};
    EXPECT_EQ(backgroundPanelRect(frame), (Rect{1, 95, 1022, 700 - 60 - 2 - 22 - 34}));
    frame.controlBarVisible = false;
    // The hidden control toolbar gives its height to the panel, upward.
    EXPECT_EQ(backgroundPanelRect(frame), (Rect{1, 61, 1022, 700 - 60 - 2 - 22}));
}

TEST(WheelStep, MovesTwelvePixelsAndStopsAtTheRangeLimits)
{
    EXPECT_EQ(wheelStep(30, 1, 100, -120), 42);
    EXPECT_EQ(wheelStep(30, 1, 100, -1), 42); // the distance does not matter
    EXPECT_EQ(wheelStep(95, 1, 100, -120), 100);
    EXPECT_EQ(wheelStep(100, 1, 100, -120), 100);
    EXPECT_EQ(wheelStep(30, 1, 100, 120), 18);
    EXPECT_EQ(wheelStep(8, 1, 100, 120), 1);
    EXPECT_EQ(wheelStep(1, 1, 100, 120), 1);
    EXPECT_EQ(wheelStep(30, 1, 100, 0), 30);
}

} // namespace
} // namespace ordavel
