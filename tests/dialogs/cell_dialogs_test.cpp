#include "dialog_fixture.h"

#include "designer/label_control.h"
#include "dialogs/text_dialogs.h"
#include "model/undo_history.h"

#include <QCheckBox>
#include <QImage>
#include <QSpinBox>

namespace ordavel {
namespace {

class CellDialogTest : public DialogTest {
protected:
    static QSpinBox* count(QWidget* dialog)
    {
        auto* box = dialog->findChild<QSpinBox*>(QStringLiteral("数值框_格数"));
        EXPECT_NE(box, nullptr);
        return box;
    }
};

TEST_F(CellDialogTest, TextBoxCellsGoToTheBoxOnOkAndUndoBringsBackNone)
{
    const int index = doc.addBox(BoxType::EditBox, 10, 10, 200, 28);
    UndoHistory history;
    history.reset(doc);
    auto d = open<TextBoxDialog>(index);
    QAbstractButton* cells = button(d.get(), "选择框_逐格打印");
    QAbstractButton* yen = button(d.get(), "选择框_首位前人民币符号");
    EXPECT_FALSE(cells->isChecked());
    EXPECT_FALSE(count(d.get())->isEnabled());
    EXPECT_FALSE(yen->isEnabled());
    EXPECT_EQ(count(d.get())->minimum(), 1);
    EXPECT_EQ(count(d.get())->maximum(), kMaxCells);

    click(d.get(), "选择框_逐格打印");
    EXPECT_TRUE(count(d.get())->isEnabled());
    EXPECT_TRUE(yen->isEnabled());
    count(d.get())->setValue(kMaxCells + 5); // clamped to the largest
    EXPECT_EQ(count(d.get())->value(), kMaxCells);
    count(d.get())->setValue(11);
    click(d.get(), "选择框_首位前人民币符号");
    // A failing position check leaves the cells as they were.
    type(d.get(), "编辑框_顶边", "-100");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.cellCount, 0);
    type(d.get(), "编辑框_顶边", "10");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.cellCount, 11);
    EXPECT_TRUE(doc.box(index).attributes.yenBeforeFirst);

    ASSERT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_EQ(doc.box(index).attributes.cellCount, 0);
    EXPECT_FALSE(doc.box(index).attributes.yenBeforeFirst);
    ASSERT_TRUE(history.redo(doc));
    EXPECT_EQ(doc.box(index).attributes.cellCount, 11);

    // Opened again, the dialog shows what the box has.
    auto again = open<TextBoxDialog>(index);
    EXPECT_TRUE(button(again.get(), "选择框_逐格打印")->isChecked());
    EXPECT_EQ(count(again.get())->value(), 11);
    EXPECT_TRUE(button(again.get(), "选择框_首位前人民币符号")->isChecked());
}

TEST_F(CellDialogTest, LabelCellsSwitchedOffDropTheYenAndUndoRestoresBoth)
{
    const int index = doc.addBox(BoxType::Label, 10, 10, 200, 28);
    doc.box(index).attributes.text = "12345.60";
    doc.box(index).attributes.cellCount = 8;
    doc.box(index).attributes.yenBeforeFirst = true;
    UndoHistory history;
    history.reset(doc);
    auto d = open<LabelDialog>(index);
    EXPECT_TRUE(button(d.get(), "选择框_逐格打印")->isChecked());
    EXPECT_EQ(count(d.get())->value(), 8);
    EXPECT_TRUE(button(d.get(), "选择框_首位前人民币符号")->isChecked());

    click(d.get(), "选择框_逐格打印");
    EXPECT_FALSE(button(d.get(), "选择框_首位前人民币符号")->isEnabled());
    click(d.get(), "按钮_确定");
    EXPECT_EQ(doc.box(index).attributes.cellCount, 0);
    EXPECT_FALSE(doc.box(index).attributes.yenBeforeFirst); // a ¥ without cells is not kept

    ASSERT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_EQ(doc.box(index).attributes.cellCount, 8);
    EXPECT_TRUE(doc.box(index).attributes.yenBeforeFirst);

    // Cancel changes nothing.
    auto cancelled = open<LabelDialog>(index);
    count(cancelled.get())->setValue(3);
    cancelled->reject();
    EXPECT_EQ(doc.box(index).attributes.cellCount, 8);
}

// Columns of `image` holding dark ink.
std::vector<bool> inkedColumns(const QImage& image)
{
    std::vector<bool> inked(static_cast<std::size_t>(image.width()), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                inked[static_cast<std::size_t>(x)] = true;
    return inked;
}

bool anyInk(const std::vector<bool>& inked, int from, int to)
{
    for (int x = from; x < to; ++x)
        if (inked[static_cast<std::size_t>(x)])
            return true;
    return false;
}

// The board draws a label with cells as it prints: each character in its
// cell from the right, the ¥ before the first, the cells to the left empty.
TEST(LabelBoardCells, CharactersSitInTheirCellsFromTheRight)
{
    LabelControl label(nullptr);
    label.resize(200, 30);
    Box box;
    box.inUse = true;
    box.type = BoxType::Label;
    box.attributes.text = "15";
    box.attributes.font = FontSpec{"宋体", 12};
    box.attributes.textColor = kBlack;
    box.attributes.bgColor = kWhite;
    box.attributes.cellCount = 5; // [ ][ ][¥][1][5]
    box.attributes.yenBeforeFirst = true;
    label.showBox(box);
    const std::vector<bool> inked = inkedColumns(label.grab().toImage());
    EXPECT_FALSE(anyInk(inked, 0, 80));    // cells 1 and 2 empty
    EXPECT_TRUE(anyInk(inked, 80, 120));   // ¥
    EXPECT_TRUE(anyInk(inked, 120, 160));  // 1
    EXPECT_TRUE(anyInk(inked, 160, 200));  // 5
    // Each glyph keeps clear of its cell's edges: centred, not run together.
    EXPECT_FALSE(inked[120] || inked[160]);

    box.attributes.text = "123456"; // more than five cells: nothing, as on paper
    label.showBox(box);
    const std::vector<bool> tooLong = inkedColumns(label.grab().toImage());
    EXPECT_FALSE(anyInk(tooLong, 0, 200));
}

} // namespace
} // namespace ordavel
