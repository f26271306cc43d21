#include "designer/printer_calibration_dialog.h"

#include "designer/file_toolbar.h"
#include "platform/calibration_store.h"
#include "support/scripted_prompter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>

namespace ordavel {
namespace {

class PrinterCalibration : public ::testing::Test {
protected:
    PrinterCalibrationDialog& open(double widthCm = 21.0, double heightCm = 29.7)
    {
        dialog = std::make_unique<PrinterCalibrationDialog>(store, prompter, QStringList{"Tractor-1", "Laser"},
                                                            widthCm, heightCm);
        return *dialog;
    }
    void measure(const std::array<const char*, 4>& values)
    {
        for (int i = 0; i < 4; ++i)
            dialog->measuredField(i)->setText(QString::fromUtf8(values[static_cast<std::size_t>(i)]));
    }
    static std::string text(const QLineEdit* field) { return field->text().toStdString(); }
    static Message warning(const std::string& text)
    {
        return Message{text, "打印机校准", MessageIcon::Exclamation, MessageButtons::Ok};
    }

    QTemporaryDir folder;
    CalibrationStore store{folder.filePath("ordavel/printers.ini").toStdString()};
    ScriptedPrompter prompter;
    std::unique_ptr<PrinterCalibrationDialog> dialog;
};

TEST_F(PrinterCalibration, MeasuredCrossesGiveOffsetAndScaleThatAreSavedForThePrinter)
{
    PrinterCalibrationDialog& d = open();
    EXPECT_EQ(d.objectName().toStdString(), "对话框_打印机校准");
    EXPECT_EQ(d.windowTitle().toStdString(), "打印机校准");
    EXPECT_EQ(d.printerBox()->currentText().toStdString(), "Tractor-1");
    EXPECT_EQ(text(d.paperWidthField()), "21");
    EXPECT_EQ(text(d.paperHeightField()), "29.7");
    EXPECT_EQ(d.stateLabel()->text().toStdString(), "已存的校准：无");

    // A4: 2.0 mm right, 1.5 mm low, 0.3 % long down the page.
    measure({"12", "11.53", "202", "289.361"});
    d.computeButton()->click();
    EXPECT_EQ(text(d.offsetXField()), "-2.000");
    EXPECT_EQ(text(d.offsetYField()), "-1.496");
    EXPECT_EQ(text(d.scaleXField()), "100.0000");
    EXPECT_EQ(text(d.scaleYField()), "99.7009");
    EXPECT_EQ(text(d.pageLengthField()), "0.00");
    EXPECT_TRUE(prompter.messages.empty());

    // Adjusted by hand before saving: a page-length correction for the tractor feed.
    d.pageLengthField()->setText("0.2");
    d.saveButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const StoredCalibration stored = store.load("Tractor-1");
    ASSERT_TRUE(stored.calibration) << stored.error;
    EXPECT_DOUBLE_EQ(stored.calibration->offsetXMm, -2.0);
    EXPECT_DOUBLE_EQ(stored.calibration->offsetYMm, -1.496);
    EXPECT_DOUBLE_EQ(stored.calibration->scaleXPercent, 100.0);
    EXPECT_DOUBLE_EQ(stored.calibration->scaleYPercent, 99.7009);
    EXPECT_DOUBLE_EQ(stored.calibration->pageLengthMm, 0.2);
    EXPECT_FALSE(store.load("Laser").calibration);

    // The next opening shows it; another printer shows none.
    PrinterCalibrationDialog& again = open();
    EXPECT_EQ(text(again.offsetYField()), "-1.496");
    EXPECT_EQ(again.stateLabel()->text().toStdString(),
              "已存的校准：偏移 X -2.00 毫米，Y -1.50 毫米；比例 X 100.000%，Y 99.701%；页长 +0.20 毫米");
    again.printerBox()->setCurrentText("Laser");
    EXPECT_EQ(text(again.offsetXField()), "0.000");
    EXPECT_EQ(text(again.scaleYField()), "100.0000");
    again.printerBox()->setCurrentText("Tractor-1");
    again.resetButton()->click();
    EXPECT_FALSE(store.load("Tractor-1").calibration);
    EXPECT_EQ(text(again.offsetXField()), "0.000");
    EXPECT_EQ(again.stateLabel()->text().toStdString(), "已存的校准：无");
}

TEST_F(PrinterCalibration, WarnsAndStaysOpenOnCrossesOrValuesBeyondTheLimits)
{
    PrinterCalibrationDialog& d = open(21.3, 29.0);
    // Bottom-right measured left of the top-left cross.
    measure({"12", "10", "8", "280"});
    d.compute();
    // 35 mm off to the right.
    measure({"45", "10", "238", "280"});
    d.compute();
    EXPECT_EQ(text(d.offsetXField()), "0.000"); // unchanged
    // Typed by hand beyond the limit.
    d.scaleXField()->setText("111");
    d.save();
    d.scaleXField()->setText("100");
    d.printerBox()->setCurrentText("");
    d.save();
    const std::vector<Message> expected{
        warning("量得的右下十字须在左上十字的右下方，请检查输入的四个数"),
        warning("水平偏移 -35.00 毫米超出范围（-30 到 30 毫米）"),
        warning("水平比例 111.00% 超出范围（90% 到 110%）"),
        warning("请选择打印机。"),
    };
    EXPECT_EQ(prompter.messages, expected);
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_TRUE(store.printers().empty());
}

TEST_F(PrinterCalibration, TheCalibrationPageNeedsAnInstalledPrinter)
{
    PrinterCalibrationDialog& d = open();
    d.printerBox()->setCurrentText("No Such Printer");
    d.printPageButton()->click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], warning("找不到打印机“No Such Printer”。"));
}

TEST(PrintMenu, OffersPrinterCalibrationAndThePrintJournalOnThePrintButtonsArrow)
{
    FileToolBar bar;
    ASSERT_NE(bar.printMenu(), nullptr);
    EXPECT_EQ(bar.printMenu()->objectName().toStdString(), "打印菜单");
    ASSERT_EQ(bar.printMenu()->actions().size(), 2);
    QSignalSpy spy(&bar, &FileToolBar::commandTriggered);
    bar.printMenu()->actions().at(0)->trigger();
    bar.printMenu()->actions().at(1)->trigger();
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).value<DesignerCommand>(), DesignerCommand::PrinterCalibration);
    EXPECT_EQ(spy.at(1).at(0).value<DesignerCommand>(), DesignerCommand::PrintJournal);
}

} // namespace
} // namespace ordavel
