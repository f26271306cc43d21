#include "platform/printer.h"

#include "support/scripted_prompter.h"
#include "tools/cups_lock.h"

#include <QDir>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(Printer, CustomPaperOfThePageSizeWithZeroMarginsAndFullPage)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    printer.setPageOrientation(QPageLayout::Landscape);
    PageSettings page;
    page.pageWidth = 21.3f;
    page.pageHeight = 12.0f;
    configurePrinter(printer, page);
    const QPageLayout layout = printer.pageLayout();
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    EXPECT_EQ(layout.mode(), QPageLayout::FullPageMode);
    EXPECT_EQ(layout.margins(QPageLayout::Millimeter), QMarginsF(0, 0, 0, 0));
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    EXPECT_NEAR(mm.width(), 213.0, 0.001);
    EXPECT_NEAR(mm.height(), 120.0, 0.01);
    EXPECT_EQ(layout.paintRectPixels(printer.resolution()).topLeft(), QPoint(0, 0));

    // A size not > 0 keeps the printer's paper.
    const QSizeF before = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    page.pageWidth = 0.0f;
    configurePrinter(printer, page);
    EXPECT_EQ(printer.pageLayout().pageSize().size(QPageSize::Millimeter), before);
}

TEST(Printer, TheJobsPageIsItsPaperUnturnedAndItsKeyIsTheMediaTheSpoolerIsGiven)
{
    for (const JobPaper paper : {JobPaper{23000, 12700}, JobPaper{21300, 29047}, JobPaper{21350, 29000}}) {
        SCOPED_TRACE(paper.cupsMedia());
        const QPageLayout layout = jobPageLayout(paper);
        EXPECT_EQ(layout.pageSize().key().toStdString(), paper.cupsMedia());
        const QRectF full = layout.fullRect(QPageLayout::Millimeter);
        EXPECT_NEAR(full.width(), paper.widthMm(), 0.001);
        EXPECT_NEAR(full.height(), paper.heightMm(), 0.001);
        EXPECT_EQ(layout.mode(), QPageLayout::FullPageMode);
        EXPECT_EQ(layout.margins(QPageLayout::Millimeter), QMarginsF(0, 0, 0, 0));
    }

    // A printer set up for a landscape waybill draws on a page wider than tall.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    configurePrinter(printer, [] {
        PageSettings page;
        page.pageWidth = 23.0f;
        page.pageHeight = 12.7f;
        return page;
    }());
    const QRectF full = printer.pageLayout().fullRect(QPageLayout::Millimeter);
    EXPECT_NEAR(full.width(), 230.0, 0.001);
    EXPECT_NEAR(full.height(), 127.0, 0.001);
}

TEST(Printer, ReportsAJobThatCannotStartOrIsCancelled)
{
    Document doc;
    for (int i = 0; i < 3; ++i)
        doc.addBox(BoxType::EditBox, 10, 10 + 40 * i);

    QPrinter unwritable(QPrinter::HighResolution);
    unwritable.setOutputFormat(QPrinter::PdfFormat);
    unwritable.setOutputFileName(QStringLiteral("/nonexistent-folder/out.pdf"));
    EXPECT_FALSE(printDocument(doc, unwritable, nullptr));

    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
    EXPECT_TRUE(printDocument(doc, printer, nullptr));

    // The user presses Cancel in the progress window while box 2 is drawn.
    QWidget parent;
    int drawn = 0;
    doc.setYield([&] {
        if (++drawn == 2)
            if (auto* progress = parent.findChild<QProgressDialog*>())
                progress->cancel();
    });
    QPrinter cancelled(QPrinter::HighResolution);
    cancelled.setOutputFormat(QPrinter::PdfFormat);
    cancelled.setOutputFileName(dir.filePath(QStringLiteral("cancelled.pdf")));
    EXPECT_FALSE(printDocument(doc, cancelled, &parent));
    EXPECT_EQ(drawn, 2);
}

TEST(Printer, TellsTheSinkWhenTheOutputCannotBeOpened)
{
    Document doc;
    for (int i = 0; i < 3; ++i)
        doc.addBox(BoxType::EditBox, 10, 10 + 40 * i);
    ScriptedPrompter sink;
    QPrinter toFile(QPrinter::HighResolution);
    toFile.setOutputFormat(QPrinter::PdfFormat);
    toFile.setOutputFileName(QStringLiteral("/nonexistent-folder/out.pdf"));
    EXPECT_FALSE(printDocument(doc, toFile, nullptr, Calibration{}, &sink));
    std::vector<Message> expected{Message{"创建文件失败，请重试。\r\n（/nonexistent-folder/out.pdf）", "打印文件",
                                          MessageIcon::Stop, MessageButtons::Ok}};
    {
        // Qt replaces a name it does not know by the default or the first
        // installed printer (callers check names first), so a printer that
        // cannot be opened exists only where none is installed. The lock
        // keeps the CUPS tests from adding queues meanwhile.
        test::CupsLock noTestQueues;
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            QPrinter unknown(QPrinter::HighResolution);
            unknown.setPrinterName(QStringLiteral("ordavel-no-such-printer"));
            EXPECT_FALSE(printDocument(doc, unknown, nullptr, Calibration{}, &sink));
            expected.push_back(Message{"打开打印机失败，请重试。", "打印文件", MessageIcon::Stop, MessageButtons::Ok});
        }
    }
    EXPECT_EQ(sink.messages, expected);

    // A job that prints, or one the user cancels, says nothing.
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
    EXPECT_TRUE(printDocument(doc, printer, nullptr, Calibration{}, &sink));
    QWidget parent;
    doc.setYield([&] {
        if (auto* progress = parent.findChild<QProgressDialog*>())
            progress->cancel();
    });
    QPrinter cancelled(QPrinter::HighResolution);
    cancelled.setOutputFormat(QPrinter::PdfFormat);
    cancelled.setOutputFileName(dir.filePath(QStringLiteral("cancelled.pdf")));
    EXPECT_FALSE(printDocument(doc, cancelled, &parent, Calibration{}, &sink));
    EXPECT_EQ(sink.messages, expected);
}

} // namespace
} // namespace ordavel
