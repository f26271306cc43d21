// `ordavel-cli journal resume` of a batch that was printed to a PDF file: the
// records that did not print go to a new file beside it, which the tool
// names, and the file with the pages printed first is left as it was; a
// journal that cannot take what the resume wrote after the hand-over is told
// on stderr and the records are written anyway.
#include "tool_run.h"

#include "file/template_writer.h"
#include "journal/journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

std::string contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class Quiet : public MessageSink {
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

class ResumeToFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(scratch.path().empty());
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        ::setenv("XDG_DATA_HOME", (scratch.path() / "data").c_str(), 1);
        pdf = scratch.path() / "batch.pdf";
        std::ofstream(pdf, std::ios::binary) << earlier;
    }
    void TearDown() override
    {
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    // A batch of three records printed to `pdf` whose first record printed
    // before its printing process went away.
    JournalJobId interruptedBatch()
    {
        Document doc;
        const int index = doc.addBox(BoxType::Label, 40, 60, 400, 40);
        doc.box(index).attributes.text = "Order ${单号}";
        doc.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        Quiet quiet;
        auto journal = Journal::open().journal;
        EXPECT_TRUE(journal);
        if (!journal)
            return 0;
        JournalJobIn job;
        job.program = "tool";
        job.kind = JournalKind::Batch;
        job.printer = pdf.string();
        job.templatePath = "/gone/orders.oxf";
        job.templateName = "orders.oxf";
        job.templateBytes = templateBytes(doc, quiet).value_or(std::string());
        for (int i = 1; i <= 3; ++i) {
            JournalRecordIn record;
            record.number = i;
            record.columns = {{"单号", "A" + std::to_string(i)}};
            record.fields = {{"box 1", "Order A" + std::to_string(i)}};
            job.records.push_back(record);
        }
        const auto id = journal->recordJob(job);
        EXPECT_TRUE(id.ok()) << id.error;
        EXPECT_TRUE(journal->claimJob(id.value, "pid " + std::to_string(deadPid()) + "@").value);
        EXPECT_EQ(journal->setRecordOutcome(id.value, 0, 0, JournalOutcome::Printed), "");
        return id.value;
    }

    static int deadPid()
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        int status = 0;
        ::waitpid(child, &status, 0);
        return static_cast<int>(child);
    }

    test::RunResult resume(JournalJobId id)
    {
        return runCommand(std::string(ORDAVEL_CLI) + " journal resume " + std::to_string(id));
    }

    std::string pdfText(const fs::path& file)
    {
        return runCommand("pdftotext -layout " + shellQuoted(file) + " -").output;
    }

    test::ScratchDir scratch{"ordavel-resume-file"};
    fs::path pdf;
    const std::string earlier = "%PDF-1.4 the pages printed first\n";

private:
    std::optional<std::string> m_oldDataHome;
};

TEST_F(ResumeToFile, TheRecordsLeftGoToANewFileAndTheEarlierOneIsKept)
{
    const JournalJobId id = interruptedBatch();
    ASSERT_GT(id, 0);
    const fs::path resumed = scratch.path() / "batch-resumed.pdf";
    const auto run = resume(id);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("the resumed records are in \"" + resumed.string() + "\""), std::string::npos)
        << run.output;
    EXPECT_EQ(contents(pdf), earlier);
    const std::string text = pdfText(resumed);
    EXPECT_EQ(text.find("Order A1"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A2"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A3"), std::string::npos) << text;

    auto journal = Journal::open().journal;
    ASSERT_TRUE(journal);
    const auto job = journal->job(id).value;
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->outcome, JournalOutcome::Printed);
    EXPECT_EQ(job->printedCount, 3);
}

TEST_F(ResumeToFile, AJournalThatCannotBeWrittenAfterTheHandOverIsToldAndTheRecordsAreWritten)
{
    const JournalJobId id = interruptedBatch();
    ASSERT_GT(id, 0);
    // The journal takes the resume, and refuses what follows the pages.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Journal::defaultPath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE UPDATE OF outcome ON records WHEN new.outcome = 'printed'"
                           " BEGIN SELECT RAISE(ABORT, 'no room left for the journal'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const auto run = resume(id);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("print journal: no room left for the journal (the print went ahead)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(pdfText(scratch.path() / "batch-resumed.pdf").find("Order A3"), std::string::npos);
    EXPECT_EQ(contents(pdf), earlier);
}

} // namespace
} // namespace ordavel
