#include "dialog_fixture.h"

#include "dialogs/barcode_dialog.h"
#include "dialogs/combo_dialog.h"
#include "dialogs/combo_items.h"
#include "dialogs/graphic_dialogs.h"
#include "dialogs/text_dialogs.h"
#include "file/value_format.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>

namespace ordavel {
namespace {

TEST(ComboItemsTest, CommaFormSplitsAndJoins)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(splitComboItems(",X,,Y"), (V{"X", "", "Y"}));
    EXPECT_EQ(splitComboItems(",X,"), (V{"X"}));
    EXPECT_EQ(splitComboItems("X,Y"), (V{"Y"}));
    EXPECT_EQ(splitComboItems(""), V{});
    EXPECT_EQ(formatComboItems({"Z", "Y", "X"}), ",Z,Y,X");
    EXPECT_EQ(formatComboItems({}), "");
    EXPECT_TRUE(isBlankItem("  \u3000 "));
    EXPECT_FALSE(isBlankItem(" X "));
}

using BoxDialogTest = DialogTest;

TEST_F(BoxDialogTest, TextBoxScrollBarsAndFontBeforeChecks)
{
    const int index = doc.addBox(BoxType::EditBox, 10, 10, 100, 28);
    doc.box(index).attributes.multiLine = true;
    doc.box(index).attributes.scrollBars = 2;
    auto d = open<TextBoxDialog>(index);
    EXPECT_TRUE(button(d.get(), "选择框_显示滚动条")->isChecked());
    FontChoice red{FontSpec{"黑体", 12, true, false, false, false}, 0x0000FF};
    prompter.fonts.push_back(red);
    click(d.get(), "按钮_设置字体样式");
    type(d.get(), "编辑框_顶边", "-100");
    click(d.get(), "按钮_确定"); // fails, but the font is applied already
    EXPECT_EQ(doc.box(index).attributes.font, red.font);
    EXPECT_EQ(doc.box(index).attributes.textColor, 0x0000FFu);
    type(d.get(), "编辑框_顶边", "10");
    click(d.get(), "选择框_是否允许多行"); // unchecked; the scroll-bar box keeps its check
    click(d.get(), "按钮_确定");
    EXPECT_FALSE(doc.box(index).attributes.multiLine);
    EXPECT_EQ(doc.box(index).attributes.scrollBars, 3);
}

TEST_F(BoxDialogTest, LabelAndDateWriteTheirSettingsOnOk)
{
    const int label = doc.addBox(BoxType::Label, 10, 10, 100, 28);
    auto l = open<LabelDialog>(label);
    type(l.get(), "编辑框_标签标题", "   ");
    l->findChild<QComboBox*>(QStringLiteral("组合框_标签横向对齐方式"))->setCurrentIndex(2);
    l->findChild<QComboBox*>(QStringLiteral("组合框_标签显示效果"))->setCurrentIndex(3);
    prompter.colors.push_back(0x00FF00);
    click(l.get(), "颜色选择器_标签背景颜色");
    click(l.get(), "按钮_确定");
    const BoxAttributes& a = doc.box(label).attributes;
    EXPECT_EQ(a.text, "   ");
    EXPECT_EQ(a.hAlign, 2);
    EXPECT_EQ(a.effect, 3);
    EXPECT_EQ(a.bgColor, 0x00FF00u);

    const int date = doc.addBox(BoxType::DatePicker, 10, 60, 100, 28);
    const Color before = doc.box(date).attributes.textColor;
    auto d = open<DateDialog>(date);
    auto* format = d->findChild<QComboBox*>(QStringLiteral("组合框_日期打印格式"));
    format->setCurrentIndex(5);
    EXPECT_EQ(format->currentText(), QStringLiteral("2012-12-31 "));
    prompter.fonts.push_back(FontChoice{FontSpec{}, 0x0000FF});
    click(d.get(), "按钮_设置字体样式");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(date).dateFormat, 5);
    EXPECT_EQ(doc.box(date).attributes.textColor, before); // red only on the sample
}

TEST_F(BoxDialogTest, ComboItemEditorOrderMessagesAndCancel)
{
    const int index = doc.addBox(BoxType::ComboBox, 10, 10, 100, 28);
    doc.box(index).comboItems = ",A";
    auto c = open<ComboDialog>(index);
    auto* list = c->findChild<QListWidget*>(QStringLiteral("列表框1"));
    click(c.get(), "按钮_编辑"); // nothing selected: no prompt
    click(c.get(), "按钮_删除");
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_EQ(list->count(), 1);
    prompter.texts = {"X", "   ", " Y ", "1,2"};
    for (int i = 0; i < 4; ++i)
        click(c.get(), "按钮_添加");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "内容为空，不能添加");
    EXPECT_EQ(prompter.messages[0].caption, "添加组合框项目");
    list->setCurrentRow(3); // "X"
    prompter.texts = {"\u3000", "W"};
    click(c.get(), "按钮_编辑");
    EXPECT_EQ(prompter.messages.back().text, "内容为空，修改项目内容失败。");
    click(c.get(), "按钮_编辑");
    list->setCurrentRow(4); // "A"
    click(c.get(), "按钮_删除");
    c->reject();
    EXPECT_EQ(doc.box(index).comboItems, ",A");

    auto again = open<ComboDialog>(index);
    prompter.texts = {"Q"};
    click(again.get(), "按钮_添加");
    click(again.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).comboItems, ",Q,A");
    EXPECT_EQ(doc.box(index).attributes.items, (std::vector<std::string>{"Q", "A"}));

    auto third = open<ComboDialog>(index);
    prompter.texts = {"1,2", " Y "};
    click(third.get(), "按钮_添加");
    click(third.get(), "按钮_添加");
    click(third.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).comboItems, ", Y ,1,2,Q,A");
}

TEST_F(BoxDialogTest, PictureAutoSizeFromFileAndClear)
{
    const std::string picture = std::string(ORDAVEL_TEST_DATA) + "/pictures/all-reds.gif"; // 16 x 16
    const int index = doc.addBox(BoxType::PicBox, 10, 10, 16, 16);
    doc.box(index).picturePath = picture;
    auto d = open<PictureDialog>(index);
    EXPECT_TRUE(button(d.get(), "选择框_根据图像自动调整画板的高度和宽度")->isChecked());
    EXPECT_FALSE(field(d.get(), "编辑框_宽度")->isEnabled());
    type(d.get(), "编辑框_左边", "30");
    type(d.get(), "编辑框_宽度", "99");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).editRect, (Rect{30, 10, 16, 16}));
    EXPECT_FALSE(doc.box(index).attributes.picture.empty());

    auto e = open<PictureDialog>(index);
    click(e.get(), "按钮_清除图片"); // at once, Cancel does not undo it
    e->reject();
    EXPECT_TRUE(doc.box(index).picturePath.empty());
    EXPECT_TRUE(doc.box(index).attributes.picture.empty());

    auto f = open<PictureDialog>(index);
    click(f.get(), "选择框_根据图像自动调整画板的高度和宽度");
    type(f.get(), "编辑框_左边", "50");
    click(f.get(), "按钮_确定");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              "选择了 **根据图像自动调整画板的高度和宽度** 项，但是没有选择底图文件。");
    EXPECT_EQ(doc.box(index).editRect.left, 50);
    prompter.files.push_back(picture);
    click(f.get(), "按钮_选择文件");
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].title, "选择页面底图");
    click(f.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).picturePath, picture);
}

TEST_F(BoxDialogTest, ShapeSquareRuleAndDottedLineWidth)
{
    const int index = doc.addBox(BoxType::ShapeBox, 10, 10, 120, 80);
    doc.box(index).attributes.lineStyle = LineDot;
    doc.box(index).attributes.lineWidth = 4;
    auto d = open<ShapeDialog>(index);
    EXPECT_EQ(text(d.get(), "编辑框_线条宽度"), QStringLiteral("1"));
    EXPECT_FALSE(field(d.get(), "编辑框_线条宽度")->isEnabled());
    d->findChild<QComboBox*>(QStringLiteral("组合框_外形"))->setCurrentIndex(ShapeCircle);
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_宽度", "5");
    click(d.get(), "按钮_确定");
    const Box& b = doc.box(index);
    EXPECT_EQ(b.editRect, (Rect{10, 10, 80, 80}));
    EXPECT_EQ(b.printRect.width, 5.0);
    EXPECT_EQ(b.attributes.lineWidth, 1);
    EXPECT_EQ(b.attributes.lineStyle, LineDot);
    EXPECT_EQ(b.attributes.shape, ShapeCircle);
}

TEST_F(BoxDialogTest, TheEditTimeSizeSetsThePrintSizeOfABoxThatFollows)
{
    for (const bool fixed : {false, true}) {
        SCOPED_TRACE(fixed ? "fixed" : "following");
        const int block = doc.addBox(BoxType::ColorPicker, 10, 10, 80, 28);
        const int code = doc.addBox(BoxType::BarcodeBox, 10, 60, 80, 28);
        const PrintRect blockBefore = doc.box(block).printRect;
        const PrintRect codeBefore = doc.box(code).printRect;
        auto b = open<ColorBlockDialog>(block);
        if (fixed)
            click(b.get(), "选择框_固定打印位置");
        type(b.get(), "编辑框_宽度", "151");
        click(b.get(), "按钮_确定");
        auto c = open<BarcodeDialog>(code);
        if (fixed)
            click(c.get(), "选择框_固定打印位置");
        type(c.get(), "编辑框_高度", "76");
        click(c.get(), "按钮_确定");
        const double cmPerPx = 2.54 / 96.0;
        if (fixed) {
            EXPECT_EQ(doc.box(block).printRect, blockBefore);
            EXPECT_EQ(doc.box(code).printRect, codeBefore);
        } else {
            EXPECT_NEAR(doc.box(block).printRect.width, 151 * cmPerPx, 0.006);
            EXPECT_EQ(doc.box(block).printRect.height, blockBefore.height);
            EXPECT_NEAR(doc.box(code).printRect.height, 76 * cmPerPx, 0.006);
            EXPECT_EQ(doc.box(code).printRect.width, codeBefore.width);
        }
    }
}

TEST_F(BoxDialogTest, APictureThatCannotBeShownIsRefusedWhenChosen)
{
    const std::string reds = std::string(ORDAVEL_TEST_DATA) + "/pictures/all-reds.gif";
    const int index = doc.addBox(BoxType::PicBox, 10, 10, 16, 16);
    auto d = open<PictureDialog>(index);
    prompter.files = {reds, std::string(ORDAVEL_TEST_DATA) + "/pictures/invalid.1.png",
                      std::string(ORDAVEL_TEST_DATA) + "/pictures/invalid.1.gif"};
    click(d.get(), "按钮_选择文件");
    click(d.get(), "按钮_选择文件");
    click(d.get(), "按钮_选择文件");
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0],
              (Message{"无法使用这个图片：不能使用PNG格式的图片，请先把它转换成BMP、JPEG或GIF格式。\r\n（"
                           + std::string(ORDAVEL_TEST_DATA) + "/pictures/invalid.1.png）",
                       "图片框属性", MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_EQ(prompter.messages[1].text.rfind("无法使用这个图片：图片文件已损坏，读不出图片。", 0), 0u);
    // The picture chosen before stays chosen.
    EXPECT_EQ(text(d.get(), "编辑框_画板底图文件路径").toStdString(), reds);
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).picturePath, reds);
}

} // namespace
} // namespace ordavel
