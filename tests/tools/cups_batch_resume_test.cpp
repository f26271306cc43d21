// A batch print that fails part-way (the queue stops accepting jobs) or is
// interrupted (SIGTERM), then resumed with the record list the tool reports:
// across both runs every record's page arrives exactly once. cups-pdf turns
// text into Type 3 glyphs that carry no letters, so each page carries its
// record as a Code 128 symbol, read back with zbarimg.
#include "cups_queue.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::runCommand;
using test::shellQuoted;

constexpr int kRecords = 12;
constexpr int kJobSize = 2;

// "R07": what record 7 prints.
std::string recordText(int record)
{
    char text[8];
    std::snprintf(text, sizeof text, "R%02d", record);
    return text;
}

using test::cups::FolderQueue;

struct ToolRun {
    int status = -1;
    std::string err;
};

// Runs the tool with `args`, reading its stderr line by line; `onLine` sees
// each line with the tool's process id, to stop or signal it.
ToolRun runTool(const std::vector<std::string>& args, const std::function<void(const std::string&, pid_t)>& onLine)
{
    ToolRun run;
    int fds[2];
    if (::pipe(fds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> argv{const_cast<char*>(ORDAVEL_CLI)};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, ORDAVEL_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return run;
    }
    std::FILE* err = ::fdopen(fds[0], "r");
    char line[4096];
    while (std::fgets(line, sizeof line, err) != nullptr) {
        run.err += line;
        onLine(std::string(line), pid);
    }
    std::fclose(err);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class CupsBatchResume : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::chmod(scratch.path().c_str(), 0777);
        if (const std::string why = queue.start("ordavel-resume", out); !why.empty())
            GTEST_SKIP() << "no CUPS queue: " << why;
        const fs::path json = scratch.path() / "card.json";
        std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "${单号}"}]})";
        const auto built
            = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
        std::ofstream csv(data);
        csv << "单号\n";
        for (int r = 1; r <= kRecords; ++r)
            csv << recordText(r) << "\n";
    }

    std::vector<std::string> printArgs(const std::string& records = {}) const
    {
        std::vector<std::string> args{"print", oxf.string(), "--data", data.string(), "--printer", queue.name,
                                      "--job-size", std::to_string(kJobSize), "--calibration", "none"};
        if (!records.empty()) {
            args.push_back("--records");
            args.push_back(records);
        }
        return args;
    }

    // The failed run's report: the last record sent and the list that resumes.
    void expectReport(const ToolRun& failed, const std::string& cause, std::string& resume)
    {
        EXPECT_EQ(failed.status, 1) << failed.err;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(failed.err, match,
                                      std::regex(cause + "[^;\n]*; (the last record sent is (\\d+)|no record was sent); "
                                                         "to go on: --records (\\S+)\n")))
            << failed.err;
        resume = match[3];
        // The list starts right after the last record sent, and runs to the end.
        const int next = match[2].matched ? std::stoi(match[2]) + 1 : 1;
        const std::string from = std::to_string(next) + "-";
        EXPECT_TRUE(resume == from || resume == from + std::to_string(kRecords)) << failed.err;
        EXPECT_LT(next, kRecords) << "the batch was not stopped part-way: " << failed.err;
    }

    // The records on the pages of the queue's PDFs, once all jobs are done.
    std::map<std::string, int> recordsArrived()
    {
        const auto deadline = std::chrono::steady_clock::now() + 90s;
        while (std::chrono::steady_clock::now() < deadline
               && !runCommand("lpstat -o " + queue.name).output.empty())
            std::this_thread::sleep_for(250ms);
        std::this_thread::sleep_for(1s); // cups-pdf may still be closing a file
        std::map<std::string, int> seen;
        std::error_code ignored;
        int pdfs = 0;
        for (const auto& entry : fs::recursive_directory_iterator(out, ignored)) {
            if (entry.path().extension() != ".pdf")
                continue;
            const fs::path pages = scratch.path() / ("pages" + std::to_string(++pdfs));
            fs::create_directories(pages);
            const auto raster = runCommand("pdftoppm -r 150 -png " + shellQuoted(entry.path()) + " "
                                           + shellQuoted(pages / "page"));
            EXPECT_EQ(raster.status, 0) << raster.output;
            for (const auto& page : fs::directory_iterator(pages, ignored)) {
                const std::string code
                    = runCommand("{ zbarimg --nodbus --raw -q " + shellQuoted(page.path()) + " 2>/dev/null; }").output;
                ++seen[code.substr(0, code.find('\n'))]; // "" for a page without a readable symbol
            }
        }
        return seen;
    }

    void expectEachRecordOnce()
    {
        const auto seen = recordsArrived();
        for (int r = 1; r <= kRecords; ++r) {
            const auto found = seen.find(recordText(r));
            EXPECT_EQ(found == seen.end() ? 0 : found->second, 1) << recordText(r);
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRecords));
    }

    test::ScratchDir scratch{"ordavel-resume"};
    const test::CupsLock lock;
    const fs::path out = scratch.path() / "out";
    const fs::path oxf = scratch.path() / "card.oxf";
    const fs::path data = scratch.path() / "cards.csv";
    FolderQueue queue;
};

TEST_F(CupsBatchResume, AQueueThatStopsAcceptingJobsIsReportedAndTheResumePrintsTheRest)
{
    // Once the second job is drawn, the queue stops taking jobs; the tool is
    // held meanwhile so that it cannot run ahead.
    bool rejected = false;
    const ToolRun failed = runTool(printArgs(), [&](const std::string& line, pid_t pid) {
        if (rejected || line != std::to_string(2 * kJobSize) + "/" + std::to_string(kRecords) + "\n")
            return;
        ::kill(pid, SIGSTOP);
        runCommand("cupsreject " + queue.name);
        ::kill(pid, SIGCONT);
        rejected = true;
    });
    ASSERT_TRUE(rejected) << failed.err;
    std::string resume;
    expectReport(failed, "the printer \"" + queue.name + "\" did not accept the job", resume);
    ASSERT_FALSE(resume.empty());

    ASSERT_EQ(runCommand("cupsaccept " + queue.name).status, 0);
    const ToolRun resumed = runTool(printArgs(resume), [](const std::string&, pid_t) {});
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    expectEachRecordOnce();
}

TEST_F(CupsBatchResume, AnInterruptedBatchNamesTheLastRecordSentAndTheResumePrintsTheRest)
{
    bool signalled = false;
    const ToolRun failed = runTool(printArgs(), [&](const std::string& line, pid_t pid) {
        if (!signalled && line == std::to_string(kJobSize + 1) + "/" + std::to_string(kRecords) + "\n") {
            ::kill(pid, SIGTERM);
            signalled = true;
        }
    });
    ASSERT_TRUE(signalled) << failed.err;
    std::string resume;
    expectReport(failed, "interrupted", resume);
    ASSERT_FALSE(resume.empty());

    const ToolRun resumed = runTool(printArgs(resume), [](const std::string&, pid_t) {});
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    expectEachRecordOnce();
}

} // namespace
} // namespace ordavel
