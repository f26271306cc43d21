#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/work_area.h"

#include <QLineEdit>
#include <QTest>

namespace ordavel {
namespace {

class DesignKeysTest : public WindowTest {
protected:
    void key(Qt::Key k, Qt::KeyboardModifiers mods)
    {
        QTest::keyClick(window->workArea()->focusHolder(), k, mods);
    }
    const Box& box(int index) { return doc().box(index); }
    double cmX(int px) { return doc().factors().boxCmX(px); }
    double cmY(int px) { return doc().factors().boxCmY(px); }
};

TEST_F(DesignKeysTest, CtrlAndAltArrowsMoveEverySelectedBoxWithTheFollowRule)
{
    const int following = doc().addBox(BoxType::Label, 100, 50);
    const int fixed = doc().addBox(BoxType::EditBox, 300, 50);
    doc().box(fixed).followsEdit = false;
    const PrintRect fixedPrint = box(fixed).printRect;
    const int unselected = doc().addBox(BoxType::Label, 500, 50);
    doc().clearSelection();
    doc().select(following);
    doc().select(fixed);
    doc().setTitle(false);

    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(box(following).editRect.left, 105);
    EXPECT_EQ(box(fixed).editRect.left, 305);
    EXPECT_EQ(box(unselected).editRect.left, 500);
    EXPECT_EQ(box(following).printRect.left, cmX(105));
    EXPECT_EQ(box(fixed).printRect, fixedPrint);
    EXPECT_TRUE(doc().modified());
    EXPECT_EQ(window->workArea()->boxView(following)->control()->x(), 105);

    key(Qt::Key_Down, Qt::ControlModifier);
    key(Qt::Key_Left, Qt::AltModifier);
    key(Qt::Key_Up, Qt::AltModifier);
    key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(box(following).editRect, (Rect{104, 53, 80, 28}));
    EXPECT_EQ(box(following).printRect.top, cmY(53));
    EXPECT_EQ(box(fixed).editRect, (Rect{304, 53, 80, 28}));
    EXPECT_EQ(box(fixed).printRect, fixedPrint);
    // The selection and its handles stay; the handles follow the box.
    EXPECT_EQ(doc().selection(), (std::vector<int>{following, fixed}));
    EXPECT_EQ(window->workArea()->boxView(following)->handle(HandleTopLeft)->pos(), QPoint(99, 48));
    // Meta arrows do nothing.
    key(Qt::Key_Right, Qt::MetaModifier);
    EXPECT_EQ(box(following).editRect.left, 104);
}

TEST_F(DesignKeysTest, CtrlShiftArrowsSizeByOnePixelWithTheSquareRule)
{
    const int label = doc().addBox(BoxType::Label, 100, 50, 80, 28);
    const int circle = doc().addBox(BoxType::ShapeBox, 300, 50, 40, 40);
    doc().box(circle).attributes.shape = ShapeCircle;
    doc().select(label);
    doc().setTitle(false);

    key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box(label).editRect, (Rect{100, 50, 81, 30}));
    EXPECT_TRUE(doc().modified());
    // A circle grown one way stays square at its smaller side, as after a drag.
    EXPECT_EQ(box(circle).editRect, (Rect{300, 50, 40, 40}));

    key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box(label).editRect, (Rect{100, 50, 80, 30}));
    EXPECT_EQ(box(circle).editRect, (Rect{300, 50, 39, 39}));
    EXPECT_EQ(box(circle).printRect, (PrintRect{cmX(300), cmY(50), cmX(39), cmY(39)}));
    key(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box(label).editRect.height, 29);
    EXPECT_EQ(box(circle).editRect, (Rect{300, 50, 38, 38}));
}

TEST_F(DesignKeysTest, DeleteRunsTheMenuCommandWithItsQuestion)
{
    const int first = doc().addBox(BoxType::Label, 10, 10);
    const int second = doc().addBox(BoxType::Label, 100, 10);
    doc().select(first);

    prompter.answers = {MessageAnswer::No};
    key(Qt::Key_Delete, Qt::NoModifier);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "确定要删除所选择的控件吗?");
    EXPECT_EQ(prompter.messages[0].caption, "全部清除");
    EXPECT_TRUE(box(first).inUse && box(second).inUse);

    prompter.answers = {MessageAnswer::Yes};
    key(Qt::Key_Delete, Qt::NoModifier);
    EXPECT_FALSE(box(first).inUse || box(second).inUse);

    // One box goes without a question.
    const int third = doc().addBox(BoxType::Label, 10, 10);
    key(Qt::Key_Delete, Qt::NoModifier);
    EXPECT_FALSE(box(third).inUse);
    EXPECT_EQ(prompter.messages.size(), 2u);
}

TEST_F(DesignKeysTest, InEditModeTheKeysGoToTheBoxes)
{
    const int index = doc().addBox(BoxType::EditBox, 100, 50, 120, 28);
    window->switchMode(AppMode::EditMode);
    auto* edit = qobject_cast<QLineEdit*>(window->workArea()->boxView(index)->control());
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QApplication::processEvents();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_LT(edit->cursorPosition(), 3); // a word to the left, in the text
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Z, Qt::NoModifier);
    EXPECT_EQ(box(index).editRect, (Rect{100, 50, 120, 28}));
    EXPECT_EQ(edit->text(), QStringLiteral("z编辑框"));
    EXPECT_EQ(box(index).attributes.text, "z编辑框");
    // The box's own undo takes the letter back.
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("编辑框"));
    // The focus holder does not act outside DesignMode either.
    QTest::keyClick(window->workArea()->focusHolder(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(box(index).editRect.left, 100);
}

} // namespace
} // namespace ordavel
