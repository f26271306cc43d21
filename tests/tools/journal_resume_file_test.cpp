// `ordavel-cli journal resume` of a batch that was printed to a PDF file: the
// records that did not print go to a new file beside it, which the tool
// names, and the file with the pages printed first is left as it was.
#include "tool_run.h"

#include "file/template_writer.h"
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

// The journal (XDG_DATA_HOME) in `folder` while the object lives.
struct DataHome {
    explicit DataHome(const fs::path& folder)
    {
        if (const char* set = std::getenv("XDG_DATA_HOME"))
            old = set;
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~DataHome() { old.empty() ? ::unsetenv("XDG_DATA_HOME") : ::setenv("XDG_DATA_HOME", old.c_str(), 1); }
    std::string old;
};

TEST(ResumeToFile, TheRecordsLeftGoToANewFileAndTheEarlierOneIsKept)
{
    test::ScratchDir scratch{"ordavel-resume-file"};
    const DataHome home(scratch.path() / "data");
    const fs::path pdf = scratch.path() / "batch.pdf";
    const std::string earlier = "%PDF-1.4 the pages printed first\n";
    std::ofstream(pdf, std::ios::binary) << earlier;

    // Three records printed to `pdf`; the first printed before its process went away.
    Document doc;
    const int box = doc.addBox(BoxType::Label, 40, 60, 400, 40);
    doc.box(box).attributes.text = "Order ${单号}";
    doc.box(box).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
    test::FailOnMessage sink;
    JournalJobIn job;
    job.program = "tool";
    job.kind = JournalKind::Batch;
    job.printer = pdf.string();
    job.templateName = "orders.oxf";
    job.templateBytes = templateBytes(doc, sink).value_or(std::string());
    for (int i = 1; i <= 3; ++i) {
        JournalRecordIn record;
        record.number = i;
        record.fields = {{"box 1", "Order A" + std::to_string(i)}};
        record.columns = {{"单号", "A" + std::to_string(i)}};
        job.records.push_back(record);
    }
    JournalJobId id = 0;
    {
        auto journal = Journal::open().journal;
        ASSERT_TRUE(journal);
        id = journal->recordJob(job).value;
        ASSERT_GT(id, 0);
        ASSERT_TRUE(journal->claimJob(id, "pid 999999999@").value); // no process has that id
        ASSERT_EQ(journal->setRecordOutcome(id, 0, 0, JournalOutcome::Printed), "");
    }

    const auto run = runCommand(std::string(ORDAVEL_CLI) + " journal resume " + std::to_string(id));
    const fs::path resumed = scratch.path() / "batch-resumed.pdf";
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("the resumed records are in \"" + resumed.string() + "\""), std::string::npos)
        << run.output;
    std::ifstream kept(pdf, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), earlier);
    const std::string text = runCommand("pdftotext -layout " + shellQuoted(resumed) + " -").output;
    EXPECT_EQ(text.find("Order A1"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A2"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A3"), std::string::npos) << text;
    const auto after = Journal::open().journal->job(id).value;
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->outcome, JournalOutcome::Printed);
    EXPECT_EQ(after->printedCount, 3);
}

} // namespace
} // namespace ordavel
