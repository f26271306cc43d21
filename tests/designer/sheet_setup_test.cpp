#include "designer/page_setup_dialog.h"

#include "model/document.h"
#include "model/undo_history.h"
#include "print/sheet_layout.h"
#include "support/scripted_prompter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <array>

namespace ordavel {
namespace {

// Width, height, columns, rows, left, top, step across, step down.
using SheetTexts = std::array<const char*, 8>;

class SheetSetup : public ::testing::Test {
protected:
    PageSetupDialog& open()
    {
        dialog = std::make_unique<PageSetupDialog>(doc, prompter);
        return *dialog;
    }
    void fill(const SheetTexts& texts)
    {
        for (int i = 0; i < 8; ++i)
            dialog->sheetField(i)->setText(QString::fromUtf8(texts[static_cast<std::size_t>(i)]));
    }
    std::string shown(int which) const { return dialog->sheetField(which)->text().toStdString(); }
    Message warning(const std::string& text) const
    {
        return Message{text, "页面设置", MessageIcon::Exclamation, MessageButtons::Ok};
    }

    Document doc;
    ScriptedPrompter prompter;
    std::unique_ptr<PageSetupDialog> dialog;
};

TEST_F(SheetSetup, OffByDefaultWithFieldsDisabledAndOkKeepsItOff)
{
    PageSetupDialog& d = open();
    EXPECT_EQ(d.sheetCheck()->text().toStdString(), "每张多份");
    EXPECT_FALSE(d.sheetCheck()->isChecked());
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(d.sheetField(i)->isEnabled()) << i;
    // The offer: one form on an A4 sheet, stepped by the form's own size.
    EXPECT_EQ(shown(0), "21");
    EXPECT_EQ(shown(1), "29.7");
    EXPECT_EQ(shown(2), "1");
    EXPECT_EQ(shown(6), "21");
    EXPECT_EQ(shown(7), "29");
    d.sheetField(2)->setText("0"); // disabled and off: not checked, not kept
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_FALSE(doc.page().sheet.active());
    EXPECT_EQ(doc.page().sheet, SheetLayout{});
}

TEST_F(SheetSetup, OkAppliesTheSheetUndoTakesItBackAndTheDialogShowsItAgain)
{
    doc.setPageSizes(9.5f, 8.8f, 359, 333);
    UndoHistory history;
    history.reset(doc);
    PageSetupDialog& d = open();
    d.sheetCheck()->click();
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(d.sheetField(i)->isEnabled()) << i;
    fill({"21", "29.7", " 2 ", "3", "0.5", "1.25", "10", "9.5"});
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(prompter.messages.empty());
    const SheetLayout applied{21.0, 29.7, 2, 3, 0.5, 1.25, 10.0, 9.5};
    EXPECT_EQ(doc.page().sheet, applied);
    EXPECT_EQ(doc.page().sheet.cells(), 6);
    EXPECT_EQ(doc.page().pageWidth, 9.5f); // the form's own paper stays

    ASSERT_TRUE(history.record(doc));
    ASSERT_TRUE(history.undo(doc));
    EXPECT_FALSE(doc.page().sheet.active());
    ASSERT_TRUE(history.redo(doc));
    EXPECT_EQ(doc.page().sheet, applied);

    PageSetupDialog& again = open();
    EXPECT_TRUE(again.sheetCheck()->isChecked());
    const SheetTexts expected{"21", "29.7", "2", "3", "0.5", "1.25", "10", "9.5"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(shown(i), expected[static_cast<std::size_t>(i)]) << i;

    // Switched off, OK drops the sheet; Cancel before that changed nothing.
    fill({"30", "30", "4", "4", "0", "0", "7", "7"});
    again.cancelButton()->click();
    EXPECT_EQ(doc.page().sheet, applied);
    PageSetupDialog& off = open();
    off.sheetCheck()->click();
    off.okButton()->click();
    EXPECT_EQ(off.result(), QDialog::Accepted);
    EXPECT_EQ(doc.page().sheet, SheetLayout{});
}

TEST_F(SheetSetup, InvalidSheetsAreRefusedWithAWarningAndNothingApplied)
{
    const std::string range = "整张纸的宽度和高度必须在 1 到 500 厘米之间。";
    const std::string cells = "每张多份的列数和行数必须是 1 到 50 之间的整数。";
    const std::string place = "首份边距和间距不能小于0。";
    const std::string step = "多于一列（一行）时，横向（纵向）间距必须大于0。";
    const std::string overflow = "按这些数值，最右一列（最下一行）的表格会超出整张纸。";
    struct Case {
        SheetTexts texts;
        std::string message;
        int focused;
    };
    const std::vector<Case> cases{
        {{"0", "29.7", "1", "2", "0", "0", "10", "10"}, range, 0},
        {{"21", "-3", "1", "2", "0", "0", "10", "10"}, range, 1},
        {{"21", "500.5", "1", "2", "0", "0", "10", "10"}, range, 1},
        {{"21", "abc", "1", "2", "0", "0", "10", "10"}, range, 1},
        {{"21", "29.7", "0", "2", "0", "0", "10", "10"}, cells, 2},
        {{"21", "29.7", "51", "2", "0", "0", "10", "10"}, cells, 2},
        {{"21", "29.7", "1.5", "2", "0", "0", "10", "10"}, cells, 2},
        {{"21", "29.7", "2", "", "0", "0", "10", "10"}, cells, 3},
        {{"21", "29.7", "2", "2", "-0.1", "0", "10", "10"}, place, 4},
        {{"21", "29.7", "2", "2", "0", "0", "10", "-1"}, place, 7},
        {{"21", "29.7", "2", "2", "0", "0", "0", "10"}, step, 6},
        {{"21", "29.7", "1", "3", "0", "0", "0", "0"}, step, 7},
        // Forms 10 x 29 cm: three across end at 30 cm, three down at 69 cm.
        {{"21", "29.7", "3", "1", "0", "0", "10", "0"}, overflow, 2},
        {{"21", "60", "1", "3", "0", "0", "0", "20"}, overflow, 3},
        {{"21", "29.7", "2", "1", "1.5", "0", "10", "0"}, overflow, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " / field " + std::to_string(c.focused));
        prompter.messages.clear();
        PageSetupDialog& d = open();
        d.sheetCheck()->click();
        d.paperWidthField()->setText("10"); // refused as a whole: the paper stays too
        fill(c.texts);
        d.okButton()->click();
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0], warning(c.message));
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.focusWidget(), d.sheetField(c.focused)); // the field at fault
        EXPECT_FALSE(doc.page().sheet.active());
        EXPECT_EQ(doc.page().pageWidth, 21.0f);
    }

    // The limits themselves are taken; one column or row needs no step; a
    // form may end exactly at the sheet's edge.
    PageSetupDialog& d = open();
    d.sheetCheck()->click();
    d.paperWidthField()->setText("1");
    d.paperHeightField()->setText("1");
    fill({"500", "1", "50", "1", "0", "0", "1", "0"});
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(doc.page().sheet.columns, kMaxSheetCells);
    EXPECT_EQ(doc.page().sheet.rows, 1);
}

} // namespace
} // namespace ordavel
