// A print the user cancels while it is being drawn never reaches the print
// queue, on a real CUPS scheduler with a cups-pdf queue that holds its jobs.
#include "platform/window_print.h"
#include "tools/cups_queue.h"

#include <QPrinter>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// The jobs waiting in the queue, one line each.
int jobsWaitingIn(const std::string& queue)
{
    const test::RunResult listed = test::runCommand("lpstat -o " + queue);
    int lines = 0;
    for (const char c : listed.output)
        lines += c == '\n' ? 1 : 0;
    return lines;
}

// A queue that accepts jobs but does not print them, so that whether a job
// is still there can be seen.
class HeldQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = queue.start(); !why.empty())
            GTEST_SKIP() << "no CUPS scheduler: " << why;
        ASSERT_EQ(test::runCommand("cupsdisable " + queue.name).status, 0);
        printer.setPrinterName(QString::fromStdString(queue.name));
        ASSERT_EQ(printer.printerName().toStdString(), queue.name);
        for (int i = 0; i < 3; ++i)
            doc.addBox(BoxType::EditBox, 10, 10 + 40 * i);
    }
    void TearDown() override
    {
        if (!queue.name.empty())
            test::runCommand("cancel -a " + queue.name);
    }

    // Presses the progress window's Cancel the next time the job looks at it.
    void cancelOnNextLook()
    {
        doc.setYield([this] {
            if (auto* progress = parent.findChild<QProgressDialog*>())
                progress->cancel();
        });
    }

    test::CupsPdfQueue queue;
    QPrinter printer{QPrinter::HighResolution};
    Document doc;
    QWidget parent;

    WindowPrintResult print(QPrinter& to, const DataTable* table = nullptr, std::vector<BatchItem> items = {})
    {
        WindowPrint what;
        what.doc = &doc;
        what.table = table;
        what.items = std::move(items);
        return printInWindow(what, to, &parent, nullptr, {}, nullptr);
    }
};

TEST_F(HeldQueue, ACancelledPageNeverReachesTheQueue)
{
    ASSERT_TRUE(print(printer).completed);
    EXPECT_EQ(jobsWaitingIn(queue.name), 1) << "a page that was not cancelled waits in the queue";

    QPrinter cancelled(QPrinter::HighResolution);
    cancelled.setPrinterName(QString::fromStdString(queue.name));
    cancelOnNextLook();
    const WindowPrintResult result = print(cancelled);
    EXPECT_FALSE(result.completed);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(jobsWaitingIn(queue.name), 1) << "the cancelled page is still queued";
}

TEST_F(HeldQueue, ACancelledBatchNeverReachesTheQueue)
{
    DataTable table(std::vector<std::string>{"name"});
    for (const char* name : {"one", "two", "three"}) {
        table.appendCell(name);
        table.endRecord();
    }
    const std::vector<BatchItem> items{{0, 1, 1}, {1, 2, 1}, {2, 3, 1}};

    // The batch's progress window checks Cancel after each record.
    QTimer::singleShot(0, [this] {
        if (auto* progress = parent.findChild<QProgressDialog*>())
            progress->cancel();
    });
    const WindowPrintResult cancelled = print(printer, &table, items);
    EXPECT_FALSE(cancelled.completed);
    EXPECT_EQ(cancelled.sent, 0u);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(jobsWaitingIn(queue.name), 0);

    QPrinter whole(QPrinter::HighResolution);
    whole.setPrinterName(QString::fromStdString(queue.name));
    const WindowPrintResult printed = print(whole, &table, items);
    EXPECT_TRUE(printed.completed) << printed.error;
    EXPECT_EQ(printed.pages, 3);
    EXPECT_EQ(jobsWaitingIn(queue.name), 1);
}

} // namespace
} // namespace ordavel
