// The paper of the tool's prints, read back from a cups-pdf queue: a batch, a
// reprint and a resume from the journal, and the calibration page, each on
// its own paper, a landscape waybill kept landscape.
#include "cups_queue.h"
#include "pdf_pages.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::runCommand;
using test::shellQuoted;

class CupsPaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::chmod(scratch.path().c_str(), 0777);
        if (const std::string why = queue.start("ordavel-paper-cli", scratch.path() / "out"); !why.empty())
            GTEST_SKIP() << "no CUPS queue: " << why;
        const fs::path json = scratch.path() / "waybill.json";
        std::ofstream(json) << R"({"pageWidth": 23, "pageHeight": 12.7, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 8, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "${单号}"}]})";
        ASSERT_EQ(runCommand(cli("build " + shellQuoted(json) + " -o " + shellQuoted(oxf))).status, 0);
        std::ofstream(data) << "单号\nW1\nW2\n";
    }

    std::string cli(const std::string& args) const
    {
        const fs::path home = scratch.path();
        return "XDG_CONFIG_HOME=" + shellQuoted(home / "config") + " XDG_DATA_HOME=" + shellQuoted(home / "data") + " "
            + ORDAVEL_CLI + " " + args;
    }

    void expectWaybillPaper(const std::vector<fs::path>& pdfs)
    {
        ASSERT_FALSE(pdfs.empty()) << "no PDF from the queue";
        for (const auto& pdf : pdfs)
            test::expectPagesOf(pdf, 230, 127);
    }

    std::string lastJournalJob()
    {
        const auto listed = runCommand("{ " + cli("journal --json") + " 2>/dev/null; }");
        const auto jobs = nlohmann::json::parse(listed.output, nullptr, false);
        if (!jobs.is_array() || jobs.empty())
            return {};
        long long last = 0;
        for (const auto& job : jobs)
            last = std::max(last, job.value("id", 0LL));
        return std::to_string(last);
    }

    test::ScratchDir scratch{"ordavel-paper-cli"};
    const test::CupsLock lock;
    const fs::path oxf = scratch.path() / "waybill.oxf";
    const fs::path data = scratch.path() / "waybills.csv";
    test::cups::FolderQueue queue;
};

TEST_F(CupsPaper, ABatchItsReprintAndItsResumeGoOutOnTheWaybillsPaper)
{
    const std::string print = "print " + shellQuoted(oxf) + " --data " + shellQuoted(data) + " --printer " + queue.name;
    const auto printed = runCommand(cli(print));
    ASSERT_EQ(printed.status, 0) << printed.output;
    const std::string cupsJob = test::cups::lastJobId(queue.name);
    EXPECT_EQ(test::cups::jobAttribute(cupsJob, "media"), "Custom.230x127mm");
    EXPECT_EQ(test::cups::jobAttribute(cupsJob, "print-scaling"), "none");
    expectWaybillPaper(queue.newPdfs());

    const std::string job = lastJournalJob();
    ASSERT_FALSE(job.empty());
    const auto reprinted = runCommand(cli("journal reprint " + job + " --printer " + queue.name));
    ASSERT_EQ(reprinted.status, 0) << reprinted.output;
    expectWaybillPaper(queue.newPdfs());

    // A batch the queue refused is resumed once the queue takes jobs again.
    ASSERT_EQ(runCommand("cupsreject " + queue.name).status, 0);
    const auto refused = runCommand(cli(print));
    EXPECT_NE(refused.status, 0) << refused.output;
    ASSERT_EQ(runCommand("cupsaccept " + queue.name).status, 0);
    const std::string refusedJob = lastJournalJob();
    ASSERT_NE(refusedJob, job);
    const auto resumed = runCommand(cli("journal resume " + refusedJob));
    ASSERT_EQ(resumed.status, 0) << resumed.output;
    expectWaybillPaper(queue.newPdfs());
}

TEST_F(CupsPaper, APageGoesOutOnTheWaybillsPaper)
{
    const auto printed = runCommand(cli("print " + shellQuoted(oxf) + " --printer " + queue.name));
    ASSERT_EQ(printed.status, 0) << printed.output;
    expectWaybillPaper(queue.newPdfs());
}

TEST_F(CupsPaper, TheCalibrationPageIsOnThePaperItWasAskedFor)
{
    const auto printed = runCommand(cli("calibration-page --paper 23,12.7 --printer " + queue.name));
    ASSERT_EQ(printed.status, 0) << printed.output;
    expectWaybillPaper(queue.newPdfs());
}

} // namespace
} // namespace ordavel
