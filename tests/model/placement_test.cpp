#include "model/board_zoom.h"
#include "model/snapping.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(BoardZoom, EveryBoardPixelMapsBackToItselfAtAndAboveOneToOne)
{
    for (int percent : {100, 125, 150, 200, 300, 333, 400, 600, 800}) {
        const BoardZoom zoom(percent);
        for (int board = -40; board <= 2000; ++board) {
            ASSERT_EQ(zoom.toBoard(zoom.toView(board)), board) << percent << "% at " << board;
            // The last view pixel of a board pixel still shows it.
            ASSERT_EQ(zoom.toBoard(zoom.toView(board + 1) - 1), board) << percent << "% at " << board;
        }
    }
}

TEST(BoardZoom, BelowOneToOneAViewPixelShowsTheBoardPixelUnderIt)
{
    const BoardZoom half(50);
    EXPECT_EQ(half.toView(30), 15);
    EXPECT_EQ(half.toView(31), 16); // the first view pixel at or after 15.5
    EXPECT_EQ(half.toBoard(15), 30);
    EXPECT_EQ(half.toBoard(-1), -2);
    const BoardZoom quarter(25);
    EXPECT_EQ(quarter.toBoard(3), 12);
    EXPECT_EQ(quarter.toView(-5), -1); // ceil(-1.25)
    // A sub-pixel mouse position counts as the view pixel it lies in.
    EXPECT_EQ(BoardZoom(400).toBoard(-0.25), -1);
    EXPECT_EQ(BoardZoom(400).toBoard(7.9), 1);
}

TEST(BoardZoom, RectanglesTileWithoutGapsAndTheZoomIsClamped)
{
    const BoardZoom zoom(150);
    // Two boxes side by side stay side by side on the screen.
    const Rect a = zoom.toView(Rect{10, 10, 7, 3});
    const Rect b = zoom.toView(Rect{17, 13, 5, 5});
    EXPECT_EQ(a.right(), b.left);
    EXPECT_EQ(a.bottom(), b.top);
    EXPECT_EQ(zoom.toView(Rect{1, 1, 1, 1}), (Rect{2, 2, 1, 1}));

    BoardZoom z;
    EXPECT_EQ(z.percent(), 100);
    EXPECT_FALSE(z.setPercent(100));
    EXPECT_TRUE(z.setPercent(5000));
    EXPECT_EQ(z.percent(), kZoomMaxPercent);
    z.setPercent(1);
    EXPECT_EQ(z.percent(), kZoomMinPercent);
    EXPECT_EQ(nextZoomStep(100), 125);
    EXPECT_EQ(nextZoomStep(110), 125); // a typed zoom goes to the next step
    EXPECT_EQ(previousZoomStep(110), 100);
    EXPECT_EQ(nextZoomStep(800), 800);
    EXPECT_EQ(previousZoomStep(25), 25);
}

constexpr double kPxPerCm = 96.0 / 2.54;

SnapOptions gridOnly(double mm)
{
    SnapOptions o;
    o.gridX = o.gridY = gridStep(mm, kPxPerCm);
    o.toBoxes = false;
    return o;
}

TEST(Snapping, AMovedBoxPutsItsTopLeftOnTheNearestGridLine)
{
    // 1 mm is 3.7795 px: lines at 0, 3.78, 7.56, 11.34, ... rounded to whole pixels.
    const SnapResult r = snapRect(Rect{10, 20, 50, 28}, MovingEdges::whole(), {}, gridOnly(1));
    EXPECT_EQ(r.rect, (Rect{11, 19, 50, 28}));
    EXPECT_EQ(r.guideX, 11);
    EXPECT_EQ(r.guideY, 19);
    // 5 mm (18.9 px): a box at 100 px goes to line 5 (94.49 -> 94), not 6 (113).
    EXPECT_EQ(snapRect(Rect{100, 0, 10, 10}, MovingEdges::whole(), {}, gridOnly(5)).rect.left, 94);
    // Far into the negative the grid goes on.
    EXPECT_EQ(snapRect(Rect{-10, -2, 10, 10}, MovingEdges::whole(), {}, gridOnly(1)).rect.left, -11);
    // Half a millimetre: 1.89 px.
    EXPECT_EQ(snapRect(Rect{3, 3, 10, 10}, MovingEdges::whole(), {}, gridOnly(0.5)).rect.left, 4);
}

TEST(Snapping, SizingSnapsOnlyTheMovingEdgeAndKeepsAPixel)
{
    MovingEdges right;
    right.right = true;
    // Right edge at 110: line 29 is 109.6, which rounds to 110, so it stays.
    EXPECT_EQ(snapRect(Rect{10, 10, 100, 40}, right, {}, gridOnly(1)).rect, (Rect{10, 10, 100, 40}));
    // Right edge at 112 goes to 113 (line 30 is 113.4); the left edge and the height stay.
    const SnapResult r = snapRect(Rect{10, 10, 102, 40}, right, {}, gridOnly(1));
    EXPECT_EQ(r.rect, (Rect{10, 10, 103, 40}));
    EXPECT_EQ(r.guideX, 113);
    EXPECT_FALSE(r.guideY.has_value());

    MovingEdges topLeft;
    topLeft.left = topLeft.top = true;
    const SnapResult tl = snapRect(Rect{10, 10, 20, 20}, topLeft, {}, gridOnly(1));
    EXPECT_EQ(tl.rect, (Rect{11, 11, 19, 19})); // right and bottom stay at 30
    // A 1-px box whose left edge snaps past its right edge keeps one pixel.
    MovingEdges left;
    left.left = true;
    EXPECT_EQ(snapRect(Rect{33, 0, 1, 5}, left, {}, gridOnly(5)).rect, (Rect{33, 0, 1, 5}));
    // A left edge pulled outward widens the box and keeps the right edge.
    EXPECT_EQ(snapRect(Rect{22, 0, 10, 5}, left, {}, gridOnly(5)).rect, (Rect{19, 0, 13, 5}));
    MovingEdges bottom;
    bottom.bottom = true;
    EXPECT_EQ(snapRect(Rect{0, 20, 5, 2}, bottom, {}, gridOnly(5)).rect, (Rect{0, 20, 5, 1}));
}

TEST(Snapping, OtherBoxesPullEdgesAndCentresWithinTheThreshold)
{
    SnapOptions o; // boxes only, 5 px
    const std::vector<Rect> others{Rect{200, 100, 60, 30}};
    // Left edge 3 px right of the other's right edge (260): pulled onto it.
    SnapResult r = snapRect(Rect{263, 300, 40, 20}, MovingEdges::whole(), others, o);
    EXPECT_EQ(r.rect, (Rect{260, 300, 40, 20}));
    EXPECT_EQ(r.guideX, 260);
    EXPECT_FALSE(r.guideY.has_value()); // 300 is far from 100, 115 and 130
    // Right edge 4 px left of the other's left edge.
    EXPECT_EQ(snapRect(Rect{156, 300, 40, 20}, MovingEdges::whole(), others, o).rect.left, 160);
    // 6 px away: not pulled.
    EXPECT_EQ(snapRect(Rect{266, 300, 40, 20}, MovingEdges::whole(), others, o).rect.left, 266);
    // Centre to centre: the other's centre is at y 115; a 20-high box centred at 117.
    r = snapRect(Rect{400, 107, 40, 20}, MovingEdges::whole(), others, o);
    EXPECT_EQ(r.rect.top, 105);
    EXPECT_EQ(r.guideY, 115);
    // The nearest candidate wins: the top 2 px from the top edge beats the
    // bottom 3 px from the centre.
    r = snapRect(Rect{400, 98, 40, 20}, MovingEdges::whole(), others, o);
    EXPECT_EQ(r.rect.top, 100);
    EXPECT_EQ(r.guideY, 100);

    // Sizing: the bottom edge goes to the other's bottom, the top stays.
    MovingEdges bottom;
    bottom.bottom = true;
    EXPECT_EQ(snapRect(Rect{0, 90, 50, 43}, bottom, others, o).rect, (Rect{0, 90, 50, 40}));
}

TEST(Snapping, BoxesComeBeforeTheGridAndNothingSnapsWhenBothAreOff)
{
    SnapOptions o = gridOnly(5);
    o.toBoxes = true;
    const std::vector<Rect> others{Rect{201, 0, 10, 10}};
    // On the 5 mm grid 199 would go to 208 (line 11), but the box at 201 is 2 px away.
    EXPECT_EQ(snapRect(Rect{199, 50, 10, 10}, MovingEdges::whole(), others, o).rect.left, 201);
    // The y axis finds no box within reach and takes the grid: 50 -> 57 (line 3 is 56.7).
    EXPECT_EQ(snapRect(Rect{199, 50, 10, 10}, MovingEdges::whole(), others, o).rect.top, 57);

    SnapOptions off;
    off.toBoxes = false;
    const SnapResult r = snapRect(Rect{199, 50, 10, 10}, MovingEdges::whole(), others, off);
    EXPECT_EQ(r.rect, (Rect{199, 50, 10, 10}));
    EXPECT_FALSE(r.guideX || r.guideY);
}

} // namespace
} // namespace ordavel
