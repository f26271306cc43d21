#include "model/alignment.h"

#include "model/document.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace ordavel {
namespace {

class Alignment : public ::testing::Test {
protected:
    // Adds a text box and returns its index.
    int add(int left, int top, int width, int height) { return doc.addBox(BoxType::EditBox, left, top, width, height); }
    // Selection := `indices`, in this order.
    void selectInOrder(std::initializer_list<int> indices)
    {
        doc.clearSelection();
        for (int index : indices)
            doc.select(index);
    }
    // Clears the modified flag so that a command's own change shows.
    void settle() { doc.setTitle(false); }
    const Rect& rect(int index) const { return doc.box(index).editRect; }

    Document doc;
};

TEST_F(Alignment, EdgesFollowTheLastSelectedBoxWhichStaysPut)
{
    const int a = add(10, 100, 60, 20);
    const int b = add(50, 200, 30, 40);
    const int r = add(90, 300, 100, 50);
    selectInOrder({a, b, r});
    alignSelection(doc, AlignCommand::Left);
    EXPECT_EQ(rect(a).left, 90);
    EXPECT_EQ(rect(b).left, 90);
    EXPECT_EQ(rect(r), (Rect{90, 300, 100, 50}));

    alignSelection(doc, AlignCommand::Right); // right edge 190: a 40-wide box would go to 150
    EXPECT_EQ(rect(a).left, 130);
    EXPECT_EQ(rect(b).left, 160);
    alignSelection(doc, AlignCommand::Top);
    EXPECT_EQ(rect(a).top, 300);
    EXPECT_EQ(rect(b).top, 300);
    alignSelection(doc, AlignCommand::Bottom); // bottom edge 350
    EXPECT_EQ(rect(a).top, 330);
    EXPECT_EQ(rect(b).top, 310);
    EXPECT_EQ(rect(r), (Rect{90, 300, 100, 50}));

    // The reference is the order of selecting, not the index.
    selectInOrder({r, a});
    alignSelection(doc, AlignCommand::Left);
    EXPECT_EQ(rect(r).left, 130);
}

TEST_F(Alignment, SameSizeCommandsCopyTheReferenceSize)
{
    const int a = add(10, 10, 60, 20);
    const int b = add(10, 60, 30, 40);
    const int r = add(10, 120, 100, 50);
    selectInOrder({a, r});
    alignSelection(doc, AlignCommand::SameWidth);
    EXPECT_EQ(rect(a), (Rect{10, 10, 100, 20}));
    selectInOrder({b, r});
    alignSelection(doc, AlignCommand::SameHeight);
    EXPECT_EQ(rect(b), (Rect{10, 60, 30, 50}));
    selectInOrder({b, a, r});
    alignSelection(doc, AlignCommand::SameSize);
    EXPECT_EQ(rect(b), (Rect{10, 60, 100, 50}));
    EXPECT_EQ(rect(a), (Rect{10, 10, 100, 50}));
}

TEST_F(Alignment, FewerThanTwoSelectedChangesNothing)
{
    const int a = add(10, 10, 60, 20);
    add(300, 300, 100, 50);
    selectInOrder({a});
    settle();
    for (AlignCommand command : {AlignCommand::Left, AlignCommand::Bottom, AlignCommand::SameSize})
        alignSelection(doc, command);
    centreSelectionHorizontally(doc, 794);
    centreSelectionVertically(doc, 1096);
    EXPECT_EQ(rect(a), (Rect{10, 10, 60, 20}));
    EXPECT_FALSE(doc.modified());
}

TEST_F(Alignment, EveryAlignedBoxIsRefreshedEvenWhenItDoesNotMove)
{
    const int moved = add(10, 200, 30, 30);
    const int a = add(90, 10, 60, 20);
    const int r = add(90, 100, 100, 50);
    selectInOrder({moved, r});
    alignSelection(doc, AlignCommand::Left);
    EXPECT_EQ(doc.box(moved).handles[HandleTopLeft].left, 85); // the handles follow

    selectInOrder({a, r});
    settle();
    alignSelection(doc, AlignCommand::Left);
    EXPECT_TRUE(doc.modified());
    // The set-by-name placement form of the status text.
    EXPECT_EQ(doc.statusText(PanelBox), "当前控件:上=10px,左=90px,宽=60px,高=20px");
}

TEST_F(Alignment, GroupCentringKeepsTheArrangementAndRoundsHalvesAway)
{
    // Together the boxes span left 10 to right 110 on a 794-pixel board.
    const int a = add(10, 10, 40, 20);
    const int b = add(60, 80, 50, 30);
    selectInOrder({a, b});
    centreSelectionHorizontally(doc, 794);
    EXPECT_EQ(rect(a).left, 347); // roundTo(694 / 2, 0) = 347, so both move 337
    EXPECT_EQ(rect(b).left, 397);
    EXPECT_EQ(rect(a).top, 10);
    // Vertically: tops 10 and 80, union height 100, board 1001: 450.5 -> 451.
    centreSelectionVertically(doc, 1001);
    EXPECT_EQ(rect(a).top, 451);
    EXPECT_EQ(rect(b).top, 521);
}

TEST_F(Alignment, AGroupWiderThanTheBoardMovesPartlyOffItsLeft)
{
    const int a = add(0, 0, 500, 20);
    const int b = add(400, 40, 500, 20);
    selectInOrder({a, b});
    centreSelectionHorizontally(doc, 794); // union 900 wide: newLeft -53
    EXPECT_EQ(rect(a).left, -53);
    EXPECT_EQ(rect(b).left, 347);
}

TEST_F(Alignment, OneBoxCentresOnTheBoardWhateverIsSelected)
{
    const int a = add(0, 0, 101, 21);
    const int other = add(5, 5, 40, 40);
    selectInOrder({other});
    centreBoxHorizontally(doc, a, 794);
    EXPECT_EQ(rect(a).left, 347); // roundTo(346.5, 0)
    centreBoxVertically(doc, a, 1096);
    EXPECT_EQ(rect(a).top, 538); // roundTo(537.5, 0)
    EXPECT_EQ(rect(other), (Rect{5, 5, 40, 40}));

    // No box (a freed slot, no current box) changes nothing.
    doc.deleteBox(a);
    settle();
    centreBoxHorizontally(doc, a, 794);
    centreBoxVertically(doc, 0, 794);
    EXPECT_FALSE(doc.modified());
}

} // namespace
} // namespace ordavel
