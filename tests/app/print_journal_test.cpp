// The designer's page and batch prints write the print journal: the values
// and counter numbers printed, the template as printed; a damaged journal is
// told once in a "打印文件" message and the print goes ahead, and so is a
// journal that refuses what the print wrote after the pages were handed over.
#include "window_fixture.h"

#include "designer/data_panel.h"
#include "journal/journal.h"
#include "platform/form_page_device.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "print/job_paper.h"
#include "print_run/file_spooler.h"
#include "print_run/print_run.h"
#include "support/pdf_text.h"

#include <QElapsedTimer>
#include <QPrinter>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <sstream>

namespace ordavel {
namespace {

using test::pdfText;

namespace fs = std::filesystem;

class DesignerJournal : public WindowTest {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        dataHome = folder.filePath(QStringLiteral("data-home")).toStdString();
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        WindowTest::SetUp();
        oxf = writeTemplate(QStringLiteral("card.oxf"), [](Document& d) {
            const int index = d.addBox(BoxType::Label, 40, 60, 400, 40);
            d.box(index).attributes.text = "No.${#seq:card:000} ${收件人}";
            d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        });
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

    std::string journalPath() const { return dataHome + "/ordavel/journal.sqlite"; }

    bool printTo(const std::string& pdf)
    {
        prompter.printers.push_back(true);
        prompter.printToFile = pdf;
        return window->print();
    }

    // The newest job once the designer has settled it (on its event loop).
    std::optional<JournalJob> settledJob()
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

    std::string dataHome;
    std::string oxf;

private:
    std::optional<std::string> m_oldDataHome;
};

TEST_F(DesignerJournal, APagePrintKeepsItsTemplateAndNumberAndTheNextPageTakesTheNextNumber)
{
    const std::string pdf = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    EXPECT_NE(pdfText(pdf).find("No.001"), std::string::npos) << pdfText(pdf);
    // A page without data prints a column's placeholder as nothing.
    EXPECT_EQ(pdfText(pdf).find("${收件人}"), std::string::npos) << pdfText(pdf);
    const auto job = settledJob();
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->outcome, JournalOutcome::Printed);
    EXPECT_EQ(job->program, "designer");
    EXPECT_EQ(job->kind, "page");
    EXPECT_EQ(job->printer, pdf);
    EXPECT_EQ(job->templatePath, oxf);

    auto journal = Journal::open(journalPath()).journal;
    ASSERT_TRUE(journal);
    std::ifstream file(oxf, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(journal->templateBytes(job->templateHash).value, std::optional<std::string>(bytes.str()));
    const auto records = journal->records(job->id).value;
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].fields.size(), 1u);
    EXPECT_EQ(records[0].fields[0].value, "No.001 ");
    EXPECT_TRUE(prompter.messages.empty());

    const std::string second = folder.filePath(QStringLiteral("second.pdf")).toStdString();
    ASSERT_TRUE(printTo(second));
    EXPECT_NE(pdfText(second).find("No.002"), std::string::npos) << pdfText(second);
    EXPECT_EQ(journal->nextCounterValue("card").value, 3);
}

// A date box is journaled as it printed, so that a search for its text
// finds the job; the template is named without ".oxf", as the tool and the
// print service name it.
TEST_F(DesignerJournal, DateBoxesAreRecordedAsPrintedAndTheTemplateIsNamedWithoutItsExtension)
{
    const std::string dated = writeTemplate(QStringLiteral("dated.oxf"), [](Document& d) {
        const int label = d.addBox(BoxType::Label, 40, 60, 400, 40);
        d.box(label).attributes.text = "Order";
        const int date = d.addBox(BoxType::DatePicker, 40, 120, 300, 40);
        d.box(date).attributes.dateTime = DateTime{2024, 5, 1, 9, 30, 0};
        d.box(date).dateFormat = 0;
        const int clock = d.addBox(BoxType::DatePicker, 40, 180, 300, 40);
        d.box(clock).attributes.dateTime = DateTime{2024, 5, 1, 9, 30, 0};
        d.box(clock).dateFormat = 6;
        const int hidden = d.addBox(BoxType::DatePicker, 40, 240, 300, 40);
        d.box(hidden).isPrint = false;
    });
    ASSERT_TRUE(window->openTemplate(dated));
    const std::string pdf = folder.filePath(QStringLiteral("dated.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    EXPECT_NE(pdfText(pdf).find("2024年5月1日"), std::string::npos) << pdfText(pdf);
    const auto job = settledJob();
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->templateName, "dated");
    EXPECT_EQ(job->templatePath, dated);

    auto journal = Journal::open(journalPath()).journal;
    ASSERT_TRUE(journal);
    const auto records = journal->records(job->id).value;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields, (JournalValues{{"box 1", "Order"}, {"box 2", "2024年5月1日"},
                                                {"box 3", "2024-5-1 9:30:0"}}));
    JournalQuery query;
    for (const char* search : {"2024年", "2024年5月1日 order", "dated 9:30"}) {
        query.search = search;
        const auto found = journal->listJobs(query).value;
        ASSERT_EQ(found.size(), 1u) << search;
        EXPECT_EQ(found[0].id, job->id);
    }
    query.search.clear();
    query.templateName = "dated.oxf";
    EXPECT_EQ(journal->listJobs(query).value.size(), 1u);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DesignerJournal, ABatchPrintRecordsEveryRecordWithItsValuesAndNumber)
{
    const std::string data = folder.filePath(QStringLiteral("orders.csv")).toStdString();
    std::ofstream(data) << "单号,收件人\nA1,Ann\nA2,Bob\nA3,Cyd\n";
    ASSERT_TRUE(window->openDataFile(data));
    prompter.texts.push_back("3,1");
    const std::string pdf = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("No.001 Cyd"), std::string::npos) << text;
    EXPECT_NE(text.find("No.002 Ann"), std::string::npos) << text;

    const auto job = settledJob();
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->kind, "batch");
    EXPECT_EQ(job->outcome, JournalOutcome::Printed);
    auto journal = Journal::open(journalPath()).journal;
    const auto records = journal->records(job->id).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].number, 1);
    EXPECT_EQ(records[0].fields[0].value, "No.001 Cyd");
    EXPECT_EQ(records[0].columns, (JournalValues{{"收件人", "Cyd"}}));
    EXPECT_EQ(records[1].counters, (std::vector<CounterValue>{{"card", 2}}));
    EXPECT_EQ(journal->listJobs([] {
        JournalQuery q;
        q.search = "Ann";
        return q;
    }()).value.size(), 1u);
}

TEST_F(DesignerJournal, ADamagedJournalIsToldOnceAndThePagePrintsAnyway)
{
    fs::create_directories(dataHome + "/ordavel");
    std::ofstream(journalPath()) << std::string(5000, '#');
    const std::string pdf = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    EXPECT_NE(pdfText(pdf).find("No.001"), std::string::npos);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].caption, "打印文件");
    EXPECT_NE(prompter.messages[0].text.find("set aside"), std::string::npos) << prompter.messages[0].text;
}

TEST_F(DesignerJournal, AJournalThatRefusesWhatFollowsThePagesIsToldOnceAndTheBatchPrintsAnyway)
{
    const std::string data = folder.filePath(QStringLiteral("orders.csv")).toStdString();
    std::ofstream(data) << "单号,收件人\nA1,Ann\nA2,Bob\n";
    ASSERT_TRUE(window->openDataFile(data));
    prompter.texts.push_back("1-2");

    // The job and its records go in; their outcomes, written once the pages
    // are out, are refused.
    ASSERT_TRUE(Journal::open(journalPath()).journal);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(journalPath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE UPDATE OF outcome ON records"
                           " BEGIN SELECT RAISE(ABORT, 'no room left for the journal'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const std::string pdf = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    EXPECT_NE(pdfText(pdf).find("No.002 Bob"), std::string::npos);
    const std::size_t told = prompter.messages.size(); // the batch's own report

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(prompter.messages.size(), told + 1);
    EXPECT_EQ(prompter.messages.back().caption, "打印文件");
    EXPECT_EQ(prompter.messages.back().text, journalProblemMessage("no room left for the journal").text);
}

TEST_F(DesignerJournal, ASwitchedOffJournalIsNotTouchedAndCountersPrintNothing)
{
    ASSERT_TRUE(Journal::setOff(true, journalPath()).empty());
    const std::string pdf = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    ASSERT_TRUE(printTo(pdf));
    EXPECT_FALSE(fs::exists(journalPath()));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(pdfText(pdf).find("No.0"), std::string::npos) << pdfText(pdf);
}

// A page print through the print run to a file: what the hand-over sees of
// the journal, and what it prints.
class OverlappedPage : public DesignerJournal {
protected:
    // A file whose hand-over first counts the journal's jobs as another program reads them.
    class CountingFile : public FileSpooler {
    public:
        CountingFile(const std::string& path, std::function<void()> atHandOver)
            : FileSpooler(path), m_atHandOver(std::move(atHandOver))
        {
        }
        Submitted submit(std::unique_ptr<SpoolDocument> document) override
        {
            m_atHandOver();
            return FileSpooler::submit(std::move(document));
        }

    private:
        std::function<void()> m_atHandOver;
    };
    class EveryPage : public RunReporter {
    public:
        bool proceed(std::size_t, std::size_t) override { return true; }
    };

    // Prints the page to `pdf`; `jobsAtHandOver` counts the journal's jobs
    // as another program reads them just before the page is handed over.
    bool print(const std::string& pdf, RunJournal& entry, std::int64_t& jobsAtHandOver,
               const std::string& text = "No.${#seq:card:000}")
    {
        page.box(1).attributes.text = text;
        const bool begun
            = entry.begin(designerJournalPrint(page, Calibration{}, JournalKind::Page, 1), page, nullptr, {}, pdf);
        jobsAtBegin = jobsOnDisk();
        CountingFile file(pdf, [&] { jobsAtHandOver = jobsOnDisk(); });
        const Calibration none;
        FormPageDevice device(page, none, entry);
        RunPlan plan;
        plan.printer = pdf;
        plan.paper = jobPaper(page.page());
        EveryPage reporter;
        PrintRun run(entry, file);
        EXPECT_TRUE(run.print(plan, device, reporter).ok());
        run.finish();
        return begun;
    }
    RunJournal journalEntry()
    {
        std::string problem;
        auto opened = openRunJournal(journalPath(), problem);
        return RunJournal(std::move(opened), problem);
    }
    std::int64_t jobsOnDisk() const
    {
        sqlite3* db = nullptr;
        std::int64_t count = -1;
        if (sqlite3_open_v2(journalPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, "SELECT count(*) FROM jobs", -1, &stmt, nullptr);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                count = sqlite3_column_int64(stmt, 0);
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return count;
    }
    void SetUp() override
    {
        DesignerJournal::SetUp();
        page.addBox(BoxType::Label, 40, 60, 400, 40);
        page.box(1).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
    }
    Document page;
    std::int64_t jobsAtBegin = -1;
};

TEST_F(OverlappedPage, IsHandedOverOnlyOnceItsJobIsOnTheDiskAndKeepsTheNumberItPrinted)
{
    for (const char* number : {"No.001", "No.002"}) {
        const std::string pdf = folder.filePath(QStringLiteral("%1.pdf").arg(number)).toStdString();
        RunJournal entry = journalEntry();
        std::int64_t jobsAtHandOver = -1;
        ASSERT_TRUE(print(pdf, entry, jobsAtHandOver));
        EXPECT_EQ(jobsAtHandOver, number[5] - '0');
        EXPECT_NE(pdfText(pdf).find(number), std::string::npos) << pdfText(pdf);
        EXPECT_EQ(entry.takeProblem(), "");
        auto journal = Journal::open(journalPath()).journal;
        ASSERT_TRUE(journal);
        const auto job = journal->job(entry.id()).value;
        ASSERT_TRUE(job.has_value());
        EXPECT_EQ(job->outcome, JournalOutcome::Printed);
        const auto records = journal->records(entry.id()).value;
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].fields, (JournalValues{{"box 1", number}}));
    }
}

TEST_F(OverlappedPage, EveryPageIsOnTheDiskBeforeItIsDrawnWithOrWithoutNumbers)
{
    RunJournal plain = journalEntry();
    std::int64_t jobsAtHandOver = -1;
    ASSERT_TRUE(print(folder.filePath(QStringLiteral("plain.pdf")).toStdString(), plain, jobsAtHandOver, "Order 7"));
    EXPECT_EQ(jobsAtBegin, 1);
    EXPECT_EQ(jobsAtHandOver, 1);
    RunJournal numbered = journalEntry();
    ASSERT_TRUE(print(folder.filePath(QStringLiteral("numbered.pdf")).toStdString(), numbered, jobsAtHandOver));
    EXPECT_EQ(jobsAtBegin, 2);
    EXPECT_EQ(jobsAtHandOver, 2);
}

TEST_F(OverlappedPage, ALockedJournalIsToldOnceAndThePagePrintsWithoutANumber)
{
    {
        RunJournal made = journalEntry();
        std::int64_t ignored = 0;
        ASSERT_TRUE(print(folder.filePath(QStringLiteral("first.pdf")).toStdString(), made, ignored));
    }
    // Another program holds the journal's write lock longer than a print waits for it.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(journalPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string pdf = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    RunJournal entry = journalEntry();
    std::int64_t jobsAtHandOver = -1;
    EXPECT_FALSE(print(pdf, entry, jobsAtHandOver));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_FALSE(entry.active());
    EXPECT_EQ(jobsAtHandOver, 1);
    EXPECT_NE(entry.takeProblem().find("cannot be written"), std::string::npos);
    EXPECT_EQ(entry.takeProblem(), "");
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("No."), std::string::npos) << text;
    EXPECT_EQ(text.find("No.00"), std::string::npos) << text;
}

} // namespace
} // namespace ordavel
