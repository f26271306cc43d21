// The 打印记录 window finds jobs by their printed values, previews a record
// from the template bytes the journal kept (not the file as it is now), and
// prints chosen records again as a new job naming the one it repeats.
#include "window_fixture.h"

#include "designer/file_toolbar.h"
#include "designer/journal_window.h"
#include "journal/journal.h"
#include "support/pdf_text.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace ordavel {
namespace {

using test::pdfText;

bool blank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

class JournalWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        dataHome = folder.filePath(QStringLiteral("data-home")).toStdString();
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        WindowTest::SetUp();
        oxf = writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "No.${#seq:card:000} ${收件人}"); });
        ASSERT_TRUE(window->openTemplate(oxf));
    }
    void TearDown() override
    {
        window.reset();
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    static void label(Document& d, const std::string& text)
    {
        const int index = d.addBox(BoxType::Label, 40, 60, 400, 40);
        d.box(index).attributes.text = text;
        d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
    }

    std::string journalPath() const { return dataHome + "/ordavel/journal.sqlite"; }

    // Prints records 1-3 of Ann, Bob and Cyd to a file; the job once settled.
    std::optional<JournalJob> printBatch()
    {
        const std::string data = folder.filePath(QStringLiteral("orders.csv")).toStdString();
        std::ofstream(data) << "单号,收件人\nA1,Ann\nA2,Bob\nA3,Cyd\n";
        if (!window->openDataFile(data))
            return std::nullopt;
        prompter.texts.push_back("1-3");
        prompter.printers.push_back(true);
        prompter.printToFile = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
        if (!window->print())
            return std::nullopt;
        prompter.messages.clear(); // the batch's own report of what printed
        return newestFinished();
    }

    std::optional<JournalJob> newestFinished()
    {
        QElapsedTimer clock;
        clock.start();
        std::optional<JournalJob> job;
        while (clock.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            auto opened = Journal::open(journalPath());
            if (!opened.journal)
                continue;
            const auto jobs = opened.journal->listJobs();
            if (!jobs.value.empty()) {
                job = jobs.value.front();
                if (isFinal(job->outcome))
                    break;
            }
        }
        return job;
    }

    // Opens the window from the arrow of the Print button.
    JournalWindow* openFromMenu()
    {
        const auto actions = window->fileToolBar()->printMenu()->actions();
        for (QAction* action : actions)
            if (action->text() == QStringLiteral("打印记录"))
                action->trigger();
        QApplication::processEvents();
        return window->findChild<JournalWindow*>(QStringLiteral("窗口_打印记录"));
    }

    static void chooseRecords(JournalWindow& w, std::initializer_list<int> rows)
    {
        QTableWidget* list = w.recordList();
        list->clearSelection();
        for (const int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::string dataHome;
    std::string oxf;

private:
    std::optional<std::string> m_oldDataHome;
};

TEST_F(JournalWindowTest, SearchFindsJobsByPrintedValuesAndPreviewDrawsTheStoredTemplate)
{
    const auto job = printBatch();
    ASSERT_TRUE(job.has_value());
    ASSERT_EQ(job->outcome, JournalOutcome::Printed);
    // The file changes afterwards; the window must not look at it.
    writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "CHANGED"); });

    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->jobs().size(), 1u);
    EXPECT_EQ(w->jobList()->item(0, 1)->text(), QStringLiteral("designer"));
    EXPECT_EQ(w->jobList()->item(0, 3)->text(), QStringLiteral("card.oxf"));
    EXPECT_EQ(w->jobList()->item(0, 4)->text(), QStringLiteral("3"));
    EXPECT_EQ(w->jobList()->item(0, 5)->text(), QStringLiteral("printed"));
    ASSERT_EQ(w->recordList()->rowCount(), 3);
    EXPECT_EQ(w->recordList()->item(1, 3)->text(), QStringLiteral("No.002 Bob"));

    w->searchLine()->setText(QStringLiteral("bob"));
    EXPECT_EQ(w->jobs().size(), 1u);
    w->searchLine()->setText(QStringLiteral("Zed"));
    EXPECT_TRUE(w->jobs().empty());
    EXPECT_EQ(w->recordList()->rowCount(), 0);
    EXPECT_TRUE(w->previewImage().isNull());
    w->searchLine()->setText(QString());
    ASSERT_EQ(w->jobs().size(), 1u);

    // Each record previews its own values; the changed file would draw one
    // short word for every record alike.
    w->recordList()->setCurrentCell(0, 0);
    const QImage ann = w->previewImage();
    w->recordList()->setCurrentCell(1, 0);
    const QImage bob = w->previewImage();
    ASSERT_FALSE(ann.isNull());
    EXPECT_FALSE(blank(ann));
    EXPECT_NE(ann, bob);
    EXPECT_NEAR(ann.width(), 21.0 / 2.54 * 96.0, 1.0);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(JournalWindowTest, ReprintPrintsTheChosenRecordsAsTheyWereAsANewJobNamingTheOld)
{
    const auto job = printBatch();
    ASSERT_TRUE(job.has_value());
    writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "CHANGED ${收件人}"); });
    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);

    // Nothing chosen: told, nothing printed.
    w->recordList()->clearSelection();
    EXPECT_FALSE(w->reprintSelected());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].caption, "打印记录");
    prompter.messages.clear();

    chooseRecords(*w, {0, 2});
    const std::string pdf = folder.filePath(QStringLiteral("again.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(w->reprintSelected());
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("No.001 Ann"), std::string::npos) << text;
    EXPECT_NE(text.find("No.003 Cyd"), std::string::npos) << text;
    EXPECT_EQ(text.find("Bob"), std::string::npos) << text;
    EXPECT_EQ(text.find("CHANGED"), std::string::npos) << text;
    EXPECT_TRUE(prompter.messages.empty());

    const auto again = newestFinished();
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(again->id, job->id);
    EXPECT_EQ(again->kind, "reprint");
    EXPECT_EQ(again->repeats, job->id);
    EXPECT_EQ(again->program, "designer");
    EXPECT_EQ(again->recordCount, 2);
    EXPECT_EQ(again->outcome, JournalOutcome::Printed);
    auto journal = Journal::open(journalPath()).journal;
    ASSERT_TRUE(journal);
    // A reprint prints the old numbers and takes no new one.
    EXPECT_EQ(journal->nextCounterValue("card").value, 4);
    const auto records = journal->records(again->id).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[0].value, "No.003 Cyd");
    // The window lists the new job first.
    ASSERT_EQ(w->jobs().size(), 2u);
    EXPECT_EQ(w->jobs().front().id, again->id);
}

TEST_F(JournalWindowTest, TheCheckBoxSwitchesTheJournalOffAndOnAndNothingIsCreatedByLooking)
{
    JournalWindow w(prompter, journalPath());
    EXPECT_TRUE(w.jobs().empty());
    EXPECT_FALSE(std::filesystem::exists(journalPath()));
    ASSERT_TRUE(w.journalSwitch()->isChecked());
    w.journalSwitch()->setChecked(false);
    EXPECT_TRUE(Journal::isOff(journalPath()));
    w.journalSwitch()->setChecked(true);
    EXPECT_FALSE(Journal::isOff(journalPath()));
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
} // namespace ordavel
