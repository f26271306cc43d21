#include "model/undo_history.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

class UndoHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { history.reset(doc); }
    Document doc;
    UndoHistory history;
};

TEST_F(UndoHistoryTest, DeletedBoxComesBackIntoItsSlotAndRedoDeletesItAgain)
{
    const int first = doc.addBox(BoxType::Label, 10, 10);
    const int second = doc.addBox(BoxType::EditBox, 50, 60, 120, 30);
    doc.box(second).attributes.text = "收件人";
    EXPECT_TRUE(history.record(doc));
    const Box before = doc.box(second);

    doc.clearSelection();
    doc.select(second);
    doc.deleteBox(second);
    EXPECT_TRUE(history.record(doc));
    // The freed slot is taken by a new box of another type.
    EXPECT_EQ(doc.addBox(BoxType::ShapeBox, 5, 5), second);
    EXPECT_TRUE(history.record(doc));

    ASSERT_TRUE(history.undo(doc));
    EXPECT_FALSE(doc.box(second).inUse);
    ASSERT_TRUE(history.undo(doc));
    const Box& restored = doc.box(second);
    EXPECT_TRUE(restored.inUse);
    EXPECT_EQ(restored.index, second);
    EXPECT_EQ(restored.type, BoxType::EditBox);
    EXPECT_EQ(restored.editRect, before.editRect);
    EXPECT_EQ(restored.printRect, before.printRect);
    EXPECT_EQ(restored.attributes, before.attributes);
    EXPECT_TRUE(doc.box(first).inUse);
    // Undo clears the selection; the next new box still takes the lowest free slot.
    EXPECT_TRUE(doc.selection().empty());
    EXPECT_FALSE(restored.handlesVisible);
    EXPECT_EQ(doc.addBox(BoxType::Label, 0, 0), 3);
    doc.deleteBox(3);

    ASSERT_TRUE(history.redo(doc));
    EXPECT_FALSE(doc.box(second).inUse);
    ASSERT_TRUE(history.redo(doc));
    EXPECT_EQ(doc.box(second).type, BoxType::ShapeBox);
    EXPECT_FALSE(history.redo(doc));
}

TEST_F(UndoHistoryTest, SelectionAloneIsNoStepAndANewStepDropsTheRedoSteps)
{
    const int index = doc.addBox(BoxType::Label, 10, 10);
    EXPECT_TRUE(history.record(doc));
    doc.clearSelection();
    EXPECT_FALSE(history.record(doc));
    doc.select(index);
    EXPECT_FALSE(history.record(doc));

    doc.setProperty(index, "左边", 40);
    EXPECT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_EQ(doc.box(index).editRect.left, 10);
    EXPECT_TRUE(history.canRedo());
    doc.setProperty(index, "顶边", 70);
    EXPECT_TRUE(history.record(doc));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoCount(), 2u);
}

TEST_F(UndoHistoryTest, UndoBackToTheSavedStateClearsTheModifiedFlag)
{
    const int index = doc.addBox(BoxType::Label, 10, 10);
    history.record(doc);
    doc.setTitle(false); // saved
    history.markSaved();

    doc.setProperty(index, "宽度", 200);
    history.record(doc);
    EXPECT_TRUE(doc.modified());
    history.undo(doc);
    EXPECT_FALSE(doc.modified());
    history.undo(doc); // before the box was made: not what was saved
    EXPECT_TRUE(doc.modified());
    history.redo(doc);
    EXPECT_FALSE(doc.modified());
    EXPECT_TRUE(history.atSavedState());
    history.redo(doc);
    EXPECT_TRUE(doc.modified());
}

TEST_F(UndoHistoryTest, PageChangesAreStepsAndRestoreTheStatusTexts)
{
    doc.setPageSizes(10.0, 15.0, 378, 567);
    doc.page().background = "GIF89a-background";
    history.record(doc);
    EXPECT_EQ(doc.statusText(PanelPaper), "纸张:10x15厘米");

    history.undo(doc);
    EXPECT_EQ(doc.page().pageWidth, 21.0f);
    EXPECT_EQ(doc.page().boardWidth, 794);
    EXPECT_TRUE(doc.page().background.empty());
    EXPECT_EQ(doc.statusText(PanelPaper), "纸张:21x29厘米");
    EXPECT_EQ(doc.statusText(PanelBoard), "画板:794x1096像素");
    history.redo(doc);
    EXPECT_EQ(doc.page().background, "GIF89a-background");
    EXPECT_EQ(doc.page().boardHeight, 567);
}

TEST_F(UndoHistoryTest, KeepsTheNewestStepsUpToItsLimit)
{
    const int index = doc.addBox(BoxType::Label, 0, 0);
    history.record(doc);
    for (int step = 1; step <= 300; ++step) {
        doc.setProperty(index, "左边", step);
        history.record(doc);
    }
    EXPECT_EQ(history.undoCount(), UndoHistory::kDefaultLimit);
    EXPECT_GE(history.undoCount(), 100u);
    while (history.undo(doc)) {
    }
    EXPECT_EQ(doc.box(index).editRect.left, 300 - int(UndoHistory::kDefaultLimit));
}

TEST_F(UndoHistoryTest, PictureBytesAreHeldOnceAcrossSteps)
{
    const int index = doc.addBox(BoxType::PicBox, 0, 0);
    doc.box(index).attributes.picture = std::string(1 << 20, 'p');
    doc.page().background = std::string(1 << 19, 'b');
    history.record(doc);
    for (int step = 1; step <= 150; ++step) {
        doc.setProperty(index, "左边", step);
        history.record(doc);
    }
    EXPECT_EQ(history.pictureBytesHeld(), std::size_t{(1 << 20) + (1 << 19)});
    // A new picture is held beside the old one, which earlier steps still show.
    doc.box(index).attributes.picture = std::string(100, 'q');
    history.record(doc);
    EXPECT_EQ(history.pictureBytesHeld(), std::size_t{(1 << 20) + (1 << 19) + 100});
    history.undo(doc);
    EXPECT_EQ(doc.box(index).attributes.picture.size(), std::size_t{1 << 20});
}

TEST_F(UndoHistoryTest, RebaseTakesChangesWithoutAStep)
{
    const int index = doc.addBox(BoxType::EditBox, 0, 0);
    history.record(doc);
    doc.box(index).attributes.text = "typed";
    history.rebase(doc);
    EXPECT_EQ(history.undoCount(), 1u);
    EXPECT_FALSE(history.record(doc));
    doc.setProperty(index, "左边", 30);
    history.record(doc);
    history.undo(doc);
    EXPECT_EQ(doc.box(index).attributes.text, "typed");
    EXPECT_EQ(doc.box(index).editRect.left, 0);
}

TEST_F(UndoHistoryTest, SendToBackIsAStepThatUndoTakesBack)
{
    doc.addBox(BoxType::Label, 0, 0);
    const int second = doc.addBox(BoxType::Label, 0, 0);
    history.record(doc);
    const int front = doc.box(second).zOrder;
    doc.sendToBack(second);
    EXPECT_LT(doc.box(second).zOrder, doc.box(1).zOrder);
    EXPECT_TRUE(history.record(doc));
    history.undo(doc);
    EXPECT_EQ(doc.box(second).zOrder, front);
}

// Keyboard moves and sizes end as a drag ends.
TEST(NudgeSelection, MovesAndSizesEverySelectedBoxWithTheFollowAndSquareRules)
{
    Document doc;
    const UnitFactors& f = doc.factors();
    const int fixed = doc.addBox(BoxType::Label, 100, 50, 80, 28);
    doc.box(fixed).followsEdit = false;
    const PrintRect fixedPrint = doc.box(fixed).printRect;
    const int circle = doc.addBox(BoxType::ShapeBox, 200, 50, 60, 40);
    doc.box(circle).attributes.shape = ShapeCircle;
    doc.select(fixed);
    doc.setTitle(false);

    doc.nudgeSelection(5, -1, 0, 0);
    EXPECT_EQ(doc.box(fixed).editRect, (Rect{105, 49, 80, 28}));
    EXPECT_EQ(doc.box(fixed).printRect, fixedPrint);
    // The circle is squared and its whole print rectangle recomputed.
    EXPECT_EQ(doc.box(circle).editRect, (Rect{205, 49, 40, 40}));
    EXPECT_EQ(doc.box(circle).printRect,
              (PrintRect{f.boxCmX(205), f.boxCmY(49), f.boxCmX(40), f.boxCmY(40)}));
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.selection(), (std::vector<int>{circle, fixed}));

    doc.nudgeSelection(0, 0, -1, 1);
    EXPECT_EQ(doc.box(fixed).editRect, (Rect{105, 49, 79, 29}));
    EXPECT_EQ(doc.box(circle).editRect, (Rect{205, 49, 39, 39}));
    // Never below 1 x 1.
    for (int i = 0; i < 100; ++i)
        doc.nudgeSelection(0, 0, -1, -1);
    EXPECT_EQ(doc.box(fixed).editRect.width, 1);
    EXPECT_EQ(doc.box(fixed).editRect.height, 1);
}

} // namespace
} // namespace ordavel
