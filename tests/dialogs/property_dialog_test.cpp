#include "dialog_fixture.h"

#include "dialogs/graphic_dialogs.h"
#include "dialogs/number_text.h"
#include "dialogs/property_dialogs.h"
#include "dialogs/text_dialogs.h"

namespace ordavel {
namespace {

TEST(NumberTextTest, LeadingNumberOrZero)
{
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("2.65cm")), 2.65);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("  -30")), -30.0);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("")), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber(QStringLiteral("-")), 0.0);
    EXPECT_EQ(formatDouble(2.65), QStringLiteral("2.65"));
    EXPECT_EQ(formatDouble(1.0), QStringLiteral("1"));
    EXPECT_EQ(formatSingle(static_cast<float>(2.65)), QStringLiteral("2.65"));
}

class FrameworkTest : public DialogTest {
protected:
    int label = doc.addBox(BoxType::Label, 100, 50, 80, 28);
};

TEST_F(FrameworkTest, PrintPositionFollowsEditPositionUnlessFixed)
{
    auto d = open<LabelDialog>(label);
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("2.65"));
    EXPECT_EQ(text(d.get(), "编辑框_打印时_顶边"), QStringLiteral("1.32"));
    EXPECT_FALSE(field(d.get(), "编辑框_打印时_左边")->isEnabled());
    type(d.get(), "编辑框_左边", "200");
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("5.29"));

    click(d.get(), "选择框_固定打印位置");
    EXPECT_TRUE(field(d.get(), "编辑框_打印时_左边")->isEnabled());
    type(d.get(), "编辑框_打印时_左边", "7");
    type(d.get(), "编辑框_左边", "300");
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("7"));
    click(d.get(), "选择框_固定打印位置"); // unchecked: rewritten at once
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("7.94"));
}

TEST_F(FrameworkTest, UnitSwitchConvertsEditFieldsOnlyAndResetsOnOpening)
{
    auto d = open<LabelDialog>(label);
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_左边", "9.5");
    click(d.get(), "单选框_厘米");
    EXPECT_EQ(text(d.get(), "编辑框_左边"), QStringLiteral("2.65"));
    EXPECT_EQ(text(d.get(), "编辑框_宽度"), QStringLiteral("2.12"));
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("9.5"));
    click(d.get(), "单选框_厘米"); // already centimetres: nothing
    EXPECT_EQ(text(d.get(), "编辑框_左边"), QStringLiteral("2.65"));
    click(d.get(), "单选框_象素");
    EXPECT_EQ(text(d.get(), "编辑框_左边"), QStringLiteral("100"));
    EXPECT_EQ(text(d.get(), "编辑框_宽度"), QStringLiteral("80"));

    click(d.get(), "单选框_厘米");
    d->reject();
    auto again = open<LabelDialog>(label);
    EXPECT_FALSE(again->centimetres());
    EXPECT_EQ(text(again.get(), "编辑框_左边"), QStringLiteral("100"));
}

TEST_F(FrameworkTest, CentimetreModeCopiesTextAndOkConvertsToPixels)
{
    auto d = open<LabelDialog>(label);
    click(d.get(), "单选框_厘米");
    type(d.get(), "编辑框_左边", "3.5");
    EXPECT_EQ(text(d.get(), "编辑框_打印时_左边"), QStringLiteral("3.5"));
    type(d.get(), "编辑框_左边", "2.65");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(doc.box(label).editRect.left, 100);
    EXPECT_EQ(doc.box(label).editRect.width, 80);
    EXPECT_TRUE(doc.modified());
}

TEST_F(FrameworkTest, EditPositionCheckKeepsBoxAndDialog)
{
    const Box before = doc.box(label);
    auto d = open<LabelDialog>(label);
    type(d.get(), "编辑框_顶边", "-30");
    type(d.get(), "编辑框_高度", "20");
    click(d.get(), "按钮_确定");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], (Message{"控件将移动到工作区以外不可见，请重新设置。", "标签属性",
                                             MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_EQ(d->result(), 0);
    EXPECT_EQ(doc.box(label).editRect, before.editRect);

    type(d.get(), "编辑框_顶边", "-10");
    type(d.get(), "编辑框_左边", "5000");
    type(d.get(), "编辑框_宽度", "");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(doc.box(label).editRect, (Rect{5000, -10, 0, 20}));
}

TEST_F(FrameworkTest, PrintPositionCheckAfterControlMoved)
{
    const int colour = doc.addBox(BoxType::ColorPicker, 10, 10, 100, 40);
    auto d = open<ColorBlockDialog>(colour);
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_顶边", "-3");
    type(d.get(), "编辑框_打印时_高度", "2");
    type(d.get(), "编辑框_左边", "20");
    const PrintRect before = doc.box(colour).printRect;
    click(d.get(), "按钮_确定");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "内容打印位置超出纸张以外，请重新设置。");
    EXPECT_EQ(prompter.messages[0].caption, "颜色选择框属性");
    EXPECT_EQ(doc.box(colour).editRect.left, 20); // the control moved before the check
    EXPECT_EQ(doc.box(colour).printRect, before);
    EXPECT_TRUE(doc.box(colour).followsEdit);

    // A text box has no print size: its screen size, in centimetres, is the extent.
    const int textBox = doc.addBox(BoxType::EditBox, 100, 50, 80, 28); // 80 px = 2.12 cm
    auto t = open<TextBoxDialog>(textBox);
    click(t.get(), "选择框_固定打印位置");
    type(t.get(), "编辑框_打印时_左边", "-2.2");
    click(t.get(), "按钮_确定");
    EXPECT_EQ(prompter.messages.size(), 2u);
    type(t.get(), "编辑框_打印时_左边", "-2");
    click(t.get(), "按钮_确定");
    EXPECT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(doc.box(textBox).printRect.left, -2.0);
}

TEST_F(FrameworkTest, OkWritesPrintValuesAndFlagsCancelWritesNothing)
{
    const int colour = doc.addBox(BoxType::ColorPicker, 10, 10, 100, 40);
    doc.setTitle(false);
    const Box before = doc.box(colour);
    auto c = open<ColorBlockDialog>(colour);
    click(c.get(), "选择框_固定打印位置");
    type(c.get(), "编辑框_打印时_左边", "3.333");
    type(c.get(), "编辑框_左边", "70");
    click(c.get(), "选择框_是否打印");
    click(c.get(), "按钮_取消");
    EXPECT_EQ(doc.box(colour).editRect, before.editRect);
    EXPECT_EQ(doc.box(colour).printRect, before.printRect);
    EXPECT_FALSE(doc.modified());

    auto d = open<ColorBlockDialog>(colour);
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_左边", "3.333");
    type(d.get(), "编辑框_打印时_宽度", "4");
    click(d.get(), "选择框_是否打印");
    click(d.get(), "按钮_确定");
    const Box& b = doc.box(colour);
    EXPECT_EQ(b.printRect.left, 3.333);
    EXPECT_EQ(b.printRect.width, 4.0);
    EXPECT_FALSE(b.followsEdit);
    EXPECT_FALSE(b.isPrint);
    EXPECT_TRUE(doc.modified());

    // Unfixed again: width follows the 100 px edit width, left the control.
    auto e = open<ColorBlockDialog>(colour);
    EXPECT_EQ(text(e.get(), "编辑框_打印时_左边"), QStringLiteral("3.333"));
    click(e.get(), "选择框_固定打印位置");
    EXPECT_EQ(text(e.get(), "编辑框_打印时_宽度"), QStringLiteral("2.65"));
    click(e.get(), "按钮_确定");
    EXPECT_EQ(doc.box(colour).printRect.width, 2.65);
    EXPECT_EQ(doc.box(colour).printRect.left, doc.factors().boxCmX(10));
}

TEST_F(FrameworkTest, ShowingADialogNeedsABoxInUse)
{
    QWidget parent;
    doc.deleteBox(label);
    EXPECT_FALSE(showPropertyDialog(&parent, doc, label, prompter));
    EXPECT_FALSE(showPropertyDialog(&parent, doc, 99, prompter));
}

} // namespace
} // namespace ordavel
