// The printer calibration from the designer's dialog to the next print, on a
// real CUPS scheduler with a cups-pdf queue.
#include "designer/printer_calibration_dialog.h"
#include "platform/calibration_store.h"
#include "tools/cups_queue.h"
#include "window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>

namespace ordavel {
namespace {

namespace fs = std::filesystem;

// XDG_CONFIG_HOME points into the test's folder while it runs.
class ConfigHome {
public:
    explicit ConfigHome(const QString& path) : m_old(qgetenv("XDG_CONFIG_HOME")), m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", path.toLocal8Bit());
    }
    ~ConfigHome()
    {
        if (m_had)
            qputenv("XDG_CONFIG_HOME", m_old);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

private:
    QByteArray m_old;
    bool m_had;
};

// Counts the progress windows of printing that are shown while it lives.
class ProgressWatch : public QObject {
public:
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QStringLiteral("进度框_打印"))
            ++shown;
        return false;
    }
};

using PrinterCalibrationPrint = WindowTest;

TEST_F(PrinterCalibrationPrint, TheDialogsCalibrationMovesTheNextPrintOnThatPrinter)
{
    test::CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;
    const ConfigHome config(folder.filePath("config"));

    const std::string path = writeTemplate("block.oxf", [](Document& d) {
        d.setPageSizes(15.0, 10.0, 567, 378);
        const int index = d.addBox(BoxType::ColorPicker, 0, 0);
        d.box(index).followsEdit = false;
        d.box(index).printRect = {3.00, 2.00, 3.00, 2.00};
        d.box(index).attributes.color = 0x0000FF;
    });
    ASSERT_TRUE(window->openTemplate(path));

    // The printer put the crosses of a 15 x 10 cm page 3 mm left and 2 mm high.
    CalibrationStore store;
    PrinterCalibrationDialog dialog(store, prompter, QPrinterInfo::availablePrinterNames(), 15.0, 10.0);
    dialog.printerBox()->setCurrentText(QString::fromStdString(queue.name));

    // Its calibration page comes out of the queue on the dialog's paper.
    const auto folders = test::cups::outputFolders();
    {
        ProgressWatch watch;
        dialog.printPageButton()->click();
        EXPECT_EQ(watch.shown, 1);
    }
    // It ends with a word that the page was sent.
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0],
              (Message{"校准页已送到打印机“" + queue.name + "”。\r\n请量出两个十字的位置后填入下面。", "打印机校准",
                       MessageIcon::Information, MessageButtons::Ok}));
    prompter.messages.clear();
    const fs::path page = test::cups::waitForJobPdf(folders, test::cups::lastJobId(queue.name));
    ASSERT_FALSE(page.empty()) << "no calibration page from the queue";
    const auto info = test::runCommand("pdfinfo " + test::shellQuoted(page)).output;
    std::error_code ignored;
    fs::remove(page, ignored);
    EXPECT_NE(info.find("Page size:       425 x 283 pts"), std::string::npos) << info;

    const char* measured[] = {"7", "8", "137", "88"};
    for (int i = 0; i < 4; ++i)
        dialog.measuredField(i)->setText(measured[i]);
    dialog.computeButton()->click();
    EXPECT_EQ(dialog.offsetXField()->text().toStdString(), "3.000");
    EXPECT_EQ(dialog.offsetYField()->text().toStdString(), "2.000");
    dialog.saveButton()->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(fs::exists(folder.filePath("config/ordavel/printers.ini").toStdString()));

    prompter.printers = {true};
    prompter.printerName = queue.name;
    ASSERT_TRUE(window->print());
    const fs::path pdf = test::cups::waitForJobPdf(folders, test::cups::lastJobId(queue.name));
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
    struct RemovePdf {
        fs::path path;
        ~RemovePdf() { std::error_code ignored; fs::remove(path, ignored); }
    } removePdf{pdf};

    const QString prefix = folder.filePath("page");
    ASSERT_EQ(test::runCommand("pdftoppm -r 508 -png -singlefile " + test::shellQuoted(pdf) + " '"
                               + prefix.toStdString() + "'")
                  .status,
              0);
    const QRect area = test::areaOf(QImage(prefix + ".png"), Qt::red);
    ASSERT_TRUE(area.isValid());
    // 20 pixels a millimetre; cups-pdf re-renders, so 0.2 mm.
    EXPECT_NEAR(area.left(), 33 * 20, 4);
    EXPECT_NEAR(area.top(), 22 * 20, 4);
    EXPECT_NEAR(area.width(), 30 * 20, 4);
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
} // namespace ordavel
