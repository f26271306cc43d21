// The designer's prints on a real cups-pdf queue: every page of a batch, and
// a page with the print dialog's copies, on the template's paper, a landscape
// waybill kept landscape.
#include "data/data_table.h"
#include "platform/window_print.h"
#include "tools/cups_queue.h"
#include "tools/pdf_pages.h"

#include <QPrinter>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// A landscape 23 x 12.7 cm waybill with one blue block.
Document waybill()
{
    Document doc;
    doc.setPageSizes(23.0f, 12.7f, 869, 480);
    const int index = doc.addBox(BoxType::ColorPicker, 0, 0);
    doc.box(index).followsEdit = false;
    doc.box(index).printRect = {2.00, 3.00, 3.00, 1.00};
    doc.box(index).attributes.color = 0x0000FF;
    return doc;
}

TEST(BatchPaper, EveryPageOfABatchIsTheWaybillsPaper)
{
    test::CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;

    const Document doc = waybill();
    DataTable table({"单号"});
    for (const char* value : {"W1", "W2"}) {
        table.appendCell(value);
        table.endRecord();
    }

    const auto folders = test::cups::outputFolders();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromStdString(queue.name));
    printer.setDocName(QStringLiteral("waybills"));
    WindowPrint batch;
    batch.doc = &doc;
    batch.name = "waybills";
    batch.table = &table;
    batch.items = {{0, 1, 1}, {1, 2, 1}};
    const WindowPrintResult result = printInWindow(batch, printer, nullptr, nullptr, {}, nullptr);
    ASSERT_TRUE(result.completed) << result.error;
    EXPECT_EQ(result.pages, 2);

    const std::filesystem::path pdf = test::cups::waitForJobPdf(folders, test::cups::lastJobId(queue.name));
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
    test::expectPagesOf(pdf, 230, 127);
    EXPECT_EQ(test::pdfPageSizes(pdf).size(), 2u);
    std::error_code ignored;
    std::filesystem::remove(pdf, ignored);
}

TEST(BatchPaper, ADesignerPageAndItsCopiesAreTheWaybillsPaper)
{
    test::CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;

    const Document doc = waybill();

    const auto folders = test::cups::outputFolders();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QString::fromStdString(queue.name));
    WindowPrint page;
    page.doc = &doc;
    page.name = "waybill";
    page.copies = 2;
    const WindowPrintResult result = printInWindow(page, printer, nullptr, nullptr, {}, nullptr);
    ASSERT_TRUE(result.completed) << result.error;
    EXPECT_EQ(result.pages, 1);

    const auto job = test::cups::lastJobId(queue.name);
    // The copies are the queue's to make (a printer that makes them itself, or CUPS's filters).
    EXPECT_EQ(test::cups::jobAttribute(job, "copies"), "2");
    EXPECT_EQ(test::cups::jobAttribute(job, "media"), "Custom.230x127mm");
    const std::filesystem::path pdf = test::cups::waitForJobPdf(folders, job);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
    test::expectPagesOf(pdf, 230, 127);
    std::error_code ignored;
    std::filesystem::remove(pdf, ignored);
}

} // namespace
} // namespace ordavel
