#include "dialog_fixture.h"

#include "dialogs/shrink_group.h"
#include "dialogs/text_dialogs.h"
#include "model/undo_history.h"

#include <QCheckBox>
#include <QSpinBox>

namespace ordavel {
namespace {

class ShrinkDialogTest : public DialogTest {
protected:
    static QSpinBox* smallest(QWidget* dialog)
    {
        auto* box = dialog->findChild<QSpinBox*>(QStringLiteral("数值框_最小字号"));
        EXPECT_NE(box, nullptr);
        return box;
    }
};

TEST_F(ShrinkDialogTest, TextBoxShrinkGoesToTheBoxOnOkAndUndoBringsBackNone)
{
    const int index = doc.addBox(BoxType::EditBox, 10, 10, 200, 28);
    UndoHistory history;
    history.reset(doc);
    auto d = open<TextBoxDialog>(index);
    QAbstractButton* shrink = button(d.get(), "选择框_缩小字体适应");
    EXPECT_EQ(shrink->text(), QStringLiteral("缩小字体适应"));
    EXPECT_FALSE(shrink->isChecked());
    EXPECT_FALSE(smallest(d.get())->isEnabled());
    EXPECT_EQ(smallest(d.get())->value(), ShrinkGroup::kDefaultSmallest);
    EXPECT_EQ(smallest(d.get())->minimum(), 1);

    click(d.get(), "选择框_缩小字体适应");
    EXPECT_TRUE(smallest(d.get())->isEnabled());
    smallest(d.get())->setValue(kMaxShrinkToFit + 50); // clamped to the largest
    EXPECT_EQ(smallest(d.get())->value(), kMaxShrinkToFit);
    smallest(d.get())->setValue(7);
    // A failing position check leaves the box as it was.
    type(d.get(), "编辑框_顶边", "-100");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 0);
    type(d.get(), "编辑框_顶边", "10");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 7);

    ASSERT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 0);
    ASSERT_TRUE(history.redo(doc));
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 7);

    // Opened again, the dialog shows what the box has.
    auto again = open<TextBoxDialog>(index);
    EXPECT_TRUE(button(again.get(), "选择框_缩小字体适应")->isChecked());
    EXPECT_EQ(smallest(again.get())->value(), 7);
}

TEST_F(ShrinkDialogTest, LabelShrinkSwitchedOffIsZeroCancelKeepsItAndUndoRestores)
{
    const int index = doc.addBox(BoxType::Label, 10, 10, 200, 28);
    doc.box(index).attributes.text = "收款人全称";
    doc.box(index).attributes.shrinkToFit = 9;
    UndoHistory history;
    history.reset(doc);

    // Cancel changes nothing.
    auto cancelled = open<LabelDialog>(index);
    EXPECT_TRUE(button(cancelled.get(), "选择框_缩小字体适应")->isChecked());
    EXPECT_EQ(smallest(cancelled.get())->value(), 9);
    smallest(cancelled.get())->setValue(4);
    click(cancelled.get(), "选择框_缩小字体适应");
    cancelled->reject();
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 9);

    auto d = open<LabelDialog>(index);
    click(d.get(), "选择框_缩小字体适应");
    EXPECT_FALSE(smallest(d.get())->isEnabled());
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 0); // the size is not kept with the option off

    ASSERT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, 9);

    // Switched on again, a box without a size gets the default.
    doc.box(index).attributes.shrinkToFit = 0;
    auto reopened = open<LabelDialog>(index);
    EXPECT_FALSE(button(reopened.get(), "选择框_缩小字体适应")->isChecked());
    click(reopened.get(), "选择框_缩小字体适应");
    click(reopened.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.shrinkToFit, ShrinkGroup::kDefaultSmallest);
}

} // namespace
} // namespace ordavel
