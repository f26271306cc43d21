// The print journal with a real cups-pdf queue and the tool: a batch killed
// at a random record is resumed from the journal and every record arrives
// exactly once; a reprint uses the template as it was; two printing
// processes never share a counter value; a damaged journal and a full disk
// do not stop a print. Each page carries its text as a Code 128 symbol,
// read back with zbarimg (cups-pdf keeps no letters).
#include "cups_queue.h"
#include "tool_run.h"

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
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

using test::cups::FolderQueue;

// Runs the tool, `onLine` seeing each line of its stderr with its process id.
test::RunResult runTool(const std::vector<std::string>& args,
                        const std::function<void(const std::string&, pid_t)>& onLine = {})
{
    test::RunResult run;
    int fds[2];
    if (::pipe(fds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
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
    std::FILE* out = ::fdopen(fds[0], "r");
    char line[4096];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        run.output += line;
        if (onLine)
            onLine(std::string(line), pid);
    }
    std::fclose(out);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class CupsJournal : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::chmod(scratch.path().c_str(), 0777);
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        if (const std::string why = queue.start("ordavel-journal", out); !why.empty())
            GTEST_SKIP() << "no CUPS queue: " << why;
    }
    void TearDown() override
    {
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    // A 10 x 5 cm card whose one box is a Code 128 symbol of `value`.
    void buildCard(const std::string& value)
    {
        const fs::path json = scratch.path() / "card.json";
        std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": ")"
                            << value << "\"}]}";
        const auto built
            = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
    }

    void writeData(int records)
    {
        std::ofstream csv(data);
        csv << "单号\n";
        for (int r = 1; r <= records; ++r)
            csv << "R" << (r < 10 ? "0" : "") << r << "\n";
    }

    std::vector<std::string> printArgs(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args{"print", oxf.string(), "--printer", queue.name, "--calibration", "none"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    nlohmann::json journalJson(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"journal"};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back("--json");
        const auto run = runTool(all);
        EXPECT_EQ(run.status, 0) << run.output;
        return nlohmann::json::parse(run.output, nullptr, false);
    }

    // The symbols on every page of the queue's PDFs, once the queue is empty.
    std::map<std::string, int> symbolsArrived()
    {
        const auto deadline = std::chrono::steady_clock::now() + 90s;
        while (std::chrono::steady_clock::now() < deadline && !runCommand("lpstat -o " + queue.name).output.empty())
            std::this_thread::sleep_for(250ms);
        std::this_thread::sleep_for(1s); // cups-pdf may still be closing a file
        std::map<std::string, int> seen;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(out, ignored)) {
            if (entry.path().extension() != ".pdf")
                continue;
            const fs::path pages = scratch.path() / ("pages" + std::to_string(++m_pdfs));
            fs::create_directories(pages);
            const auto raster
                = runCommand("pdftoppm -r 150 -png " + shellQuoted(entry.path()) + " " + shellQuoted(pages / "page"));
            EXPECT_EQ(raster.status, 0) << raster.output;
            for (const auto& page : fs::directory_iterator(pages, ignored)) {
                const std::string code
                    = runCommand("{ zbarimg --nodbus --raw -q " + shellQuoted(page.path()) + " 2>/dev/null; }").output;
                ++seen[code.substr(0, code.find('\n'))];
            }
        }
        return seen;
    }

    // Every page of the queue's PDFs, once the queue is empty, as the symbols
    // on it (sorted, joined by ","); the pages sorted.
    std::vector<std::string> pagesArrived()
    {
        // Only the pages of this call are looked at.
        std::error_code ignored;
        std::vector<fs::path> earlier;
        for (const auto& entry : fs::directory_iterator(scratch.path(), ignored))
            if (entry.is_directory() && entry.path().filename().string().rfind("pages", 0) == 0)
                earlier.push_back(entry.path());
        for (const auto& folder : earlier)
            fs::remove_all(folder, ignored);
        (void)symbolsArrived();
        std::vector<std::string> pages;
        for (const auto& entry : fs::recursive_directory_iterator(scratch.path(), ignored)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() != ".png" || name.rfind("page", 0) != 0)
                continue;
            const std::string raw
                = runCommand("{ zbarimg --nodbus --raw -q " + shellQuoted(entry.path()) + " 2>/dev/null; }").output;
            std::vector<std::string> codes;
            std::istringstream lines(raw);
            for (std::string line; std::getline(lines, line);)
                if (!line.empty())
                    codes.push_back(line);
            std::sort(codes.begin(), codes.end());
            std::string page;
            for (const auto& code : codes)
                page += (page.empty() ? "" : ",") + code;
            pages.push_back(page);
        }
        std::sort(pages.begin(), pages.end());
        return pages;
    }

    // Moves the PDFs that arrived so far out of the way.
    void clearArrived()
    {
        std::error_code ignored;
        fs::remove_all(out, ignored);
        fs::create_directories(out);
        ::chmod(out.c_str(), 0777);
    }

    test::ScratchDir scratch{"ordavel-journal"};
    const test::CupsLock lock;
    const fs::path out = scratch.path() / "out";
    const fs::path dataHome = scratch.path() / "data-home";
    const fs::path oxf = scratch.path() / "card.oxf";
    const fs::path data = scratch.path() / "cards.csv";
    FolderQueue queue;

private:
    std::optional<std::string> m_oldDataHome;
    int m_pdfs = 0;
};

TEST_F(CupsJournal, ABatchKilledAtARandomRecordIsResumedAndEveryRecordPrintsOnce)
{
    constexpr int kRecords = 12;
    buildCard("${单号}");
    writeData(kRecords);
    std::mt19937 random(static_cast<unsigned>(std::random_device{}()));
    const int killAt = std::uniform_int_distribution<int>(1, kRecords - 1)(random);
    bool killed = false;
    const auto first = runTool(printArgs({"--data", data.string(), "--job-size", "2"}), [&](const std::string& line, pid_t pid) {
        if (!killed && line == std::to_string(killAt) + "/" + std::to_string(kRecords) + "\n") {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    });
    ASSERT_TRUE(killed) << first.output;

    const nlohmann::json jobs = journalJson({});
    ASSERT_TRUE(jobs.is_array() && jobs.size() == 1) << jobs.dump();
    const std::string id = std::to_string(jobs[0]["id"].get<long long>());
    EXPECT_EQ(jobs[0]["kind"], "batch");

    const auto resumed = runTool({"journal", "resume", id});
    const auto sending = resumed.output.find("sending ");
    std::cout << "killed at record " << killAt << ": "
              << resumed.output.substr(sending, resumed.output.find('\n', sending) - sending) << "\n";
    ASSERT_EQ(resumed.status, 0) << "killed at record " << killAt << ": " << resumed.output;
    const auto seen = symbolsArrived();
    for (int r = 1; r <= kRecords; ++r) {
        const std::string text = std::string("R") + (r < 10 ? "0" : "") + std::to_string(r);
        const auto found = seen.find(text);
        EXPECT_EQ(found == seen.end() ? 0 : found->second, 1) << text << " (killed at record " << killAt << ")";
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRecords)) << "killed at record " << killAt;

    const nlohmann::json shown = journalJson({"show", id});
    EXPECT_EQ(shown["outcome"], "printed") << shown.dump(1);
    EXPECT_EQ(shown["printed"], kRecords);
    // Nothing is left to send.
    const auto again = runTool({"journal", "resume", id});
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("every record is printed"), std::string::npos) << again.output;
}

TEST_F(CupsJournal, AReprintAfterTheTemplateChangedPrintsTheOldFormAndItsNumbers)
{
    buildCard("OLD${#seq:card:000}");
    ASSERT_EQ(runTool({"journal", "counter", "card", "--set", "41"}).status, 0);
    const auto printed = runTool(printArgs());
    ASSERT_EQ(printed.status, 0) << printed.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"OLD041", 1}}));
    const nlohmann::json jobs = journalJson({});
    ASSERT_EQ(jobs.size(), 1u) << jobs.dump();
    EXPECT_EQ(jobs[0]["outcome"], "printed") << jobs.dump(1);
    const std::string id = std::to_string(jobs[0]["id"].get<long long>());

    clearArrived();
    buildCard("NEW${#seq:card:000}");
    const auto reprinted = runTool({"journal", "reprint", id});
    ASSERT_EQ(reprinted.status, 0) << reprinted.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"OLD041", 1}}));
    const nlohmann::json after = journalJson({});
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0]["kind"], "reprint");
    EXPECT_EQ(after[0]["repeats"], jobs[0]["id"]);
    // The reprint took no number, and keeps the one it printed; the search
    // finds both by the printed value.
    const auto next = runTool({"journal", "counter", "card"});
    EXPECT_NE(next.output.find("card: next 42"), std::string::npos) << next.output;
    EXPECT_EQ(journalJson({"--search", "OLD041"}).size(), 2u);
    const auto shown = runTool({"journal", "show", std::to_string(after[0]["id"].get<long long>()), "--json"});
    const nlohmann::json reprint = nlohmann::json::parse(shown.output, nullptr, false);
    ASSERT_TRUE(reprint.is_object()) << shown.output;
    EXPECT_EQ(reprint["recordList"][0]["counters"], (nlohmann::json{{"card", 41}})) << shown.output;
    // The tool names the template as the designer and the service do.
    EXPECT_EQ(jobs[0]["templateName"], "card");
    for (const char* name : {"card", "card.oxf"})
        EXPECT_EQ(journalJson({"--template", name}).size(), 2u) << name;
}

#if ORDAVEL_POSTGRES
// A shop on the tests' own PostgreSQL server with two stations, east and
// west: this user with a configuration folder for each.
class CupsShop : public CupsJournal {
protected:
    void SetUp() override
    {
        CupsJournal::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string error;
        url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_EQ(runCommand(cli + " shop init " + shellQuoted(url)).status, 0);
        for (const std::string station : {"east", "west"}) {
            const auto joined = runCommand("{ " + as(station) + "shop join " + shellQuoted(url) + " --station " + station + " 2>&1; }");
            ASSERT_EQ(joined.status, 0) << joined.output;
        }
    }

    // The tool run as `station`, up to its arguments.
    std::string as(const std::string& station) const
    {
        return "XDG_CONFIG_HOME=" + shellQuoted(scratch.path() / station) + " " + cli + " ";
    }

    const std::string cli = ORDAVEL_CLI;
    std::string url;
};

// Two stations of a shop print 20-record batches of one numbered form at
// once: the 40 pages carry the numbers 1 to 40, each once, and the shop's
// journal tells which station printed which job.
TEST_F(CupsShop, TwoStationsPrintingAtOnceNeverShareANumber)
{
    buildCard("${#seq:WB:000000}");
    writeData(20);
    std::vector<test::RunResult> runs(2);
    const auto printAs = [&](int which, const std::string& station) {
        runs[static_cast<std::size_t>(which)] = runCommand("{ " + as(station) + "print " + shellQuoted(oxf) + " --printer "
                                                           + queue.name + " --calibration none --data " + shellQuoted(data)
                                                           + " 2>&1; }");
    };
    std::thread east(printAs, 0, "east");
    std::thread west(printAs, 1, "west");
    east.join();
    west.join();
    ASSERT_EQ(runs[0].status, 0) << runs[0].output;
    ASSERT_EQ(runs[1].status, 0) << runs[1].output;

    std::map<std::string, int> expected;
    for (int n = 1; n <= 40; ++n) {
        const std::string digits = std::to_string(n);
        expected[std::string(6 - digits.size(), '0') + digits] = 1;
    }
    EXPECT_EQ(symbolsArrived(), expected);
    const auto listed = runCommand("{ " + as("west") + "journal --station east --json 2>/dev/null; }");
    const nlohmann::json jobs = nlohmann::json::parse(listed.output, nullptr, false);
    ASSERT_TRUE(jobs.is_array()) << listed.output;
    ASSERT_EQ(jobs.size(), 1u) << listed.output;
    EXPECT_EQ(jobs[0]["station"], "east");
    EXPECT_EQ(jobs[0]["outcome"], "printed") << listed.output;
}

// A job one station printed is found by another station's search and
// reprinted there from the template the shop kept, after the file changed:
// the old form prints, with the numbers it had.
TEST_F(CupsShop, AnotherStationReprintsAJobFromTheTemplateAsItWas)
{
    buildCard("OLD${#seq:card:000}");
    const auto printed = runCommand("{ " + as("east") + "print " + shellQuoted(oxf) + " --printer " + queue.name
                                    + " --calibration none 2>&1; }");
    ASSERT_EQ(printed.status, 0) << printed.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"OLD001", 1}}));
    clearArrived();
    buildCard("NEW${#seq:card:000}");

    const auto found = runCommand("{ " + as("west") + "journal --search OLD001 --json 2>/dev/null; }");
    const nlohmann::json jobs = nlohmann::json::parse(found.output, nullptr, false);
    ASSERT_TRUE(jobs.is_array() && jobs.size() == 1u) << found.output;
    EXPECT_EQ(jobs[0]["station"], "east");
    const std::string id = std::to_string(jobs[0]["id"].get<long long>());
    const auto reprinted = runCommand("{ " + as("west") + "journal reprint " + id + " --printer " + queue.name
                                      + " --calibration none 2>&1; }");
    ASSERT_EQ(reprinted.status, 0) << reprinted.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"OLD001", 1}}));
    const auto west = runCommand("{ " + as("west") + "journal --station west --json 2>/dev/null; }");
    const nlohmann::json again = nlohmann::json::parse(west.output, nullptr, false);
    ASSERT_TRUE(again.is_array() && again.size() == 1u) << west.output;
    EXPECT_EQ(again[0]["kind"], "reprint");
    EXPECT_EQ(again[0]["repeats"], jobs[0]["id"]);
}

// The shop's database stops: a numbered form is refused, a plain one prints
// and is kept in the station's own journal; once the database is back,
// shop sync uploads it exactly once, with its station.
TEST_F(CupsShop, WhatPrintedWhileTheShopWasDownIsUploadedOnceItAnswers)
{
    std::string error;
    test::PostgresServer* server = test::PostgresServer::shared(error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_EQ(server->stop(), "");
    const std::string print = "print " + shellQuoted(oxf) + " --printer " + queue.name + " --calibration none 2>&1; }";
    buildCard("${#seq:WB:000000}");
    const auto refused = runCommand("{ " + as("east") + print);
    EXPECT_EQ(refused.status, 1) << refused.output;
    buildCard("OFFLINE");
    const auto printed = runCommand("{ " + as("east") + print);
    EXPECT_EQ(printed.status, 0) << printed.output;
    EXPECT_NE(printed.output.find("kept in this station's own journal"), std::string::npos) << printed.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"OFFLINE", 1}}));
    ASSERT_EQ(server->start(), "");

    const auto status = runCommand("{ " + as("east") + "shop status --json 2>/dev/null; }");
    EXPECT_EQ(nlohmann::json::parse(status.output, nullptr, false).value("waitingUpload", -1), 1) << status.output;
    const auto synced = runCommand("{ " + as("east") + "shop sync 2>&1; }");
    ASSERT_EQ(synced.status, 0) << synced.output;
    EXPECT_NE(synced.output.find("1 jobs uploaded"), std::string::npos) << synced.output;
    const auto again = runCommand("{ " + as("east") + "shop sync 2>&1; }");
    EXPECT_NE(again.output.find("0 jobs uploaded"), std::string::npos) << again.output;

    const auto listed = runCommand("{ " + as("west") + "journal --search OFFLINE --json 2>/dev/null; }");
    const nlohmann::json jobs = nlohmann::json::parse(listed.output, nullptr, false);
    ASSERT_TRUE(jobs.is_array() && jobs.size() == 1u) << listed.output;
    EXPECT_EQ(jobs[0]["station"], "east");
    EXPECT_EQ(jobs[0]["outcome"], "printed") << listed.output;
}

// The tool's runs (runTool) as `station` while the object lives.
struct AsStation {
    AsStation(const fs::path& scratch, const std::string& station)
    {
        if (const char* set = std::getenv("XDG_CONFIG_HOME"))
            old = set;
        ::setenv("XDG_CONFIG_HOME", (scratch / station).c_str(), 1);
    }
    ~AsStation() { old ? ::setenv("XDG_CONFIG_HOME", old->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME"); }
    std::optional<std::string> old;
};

// Every record of every job in the shop, as the text it printed, counted.
std::map<std::string, int> recordsInTheShop(const std::function<nlohmann::json(const std::vector<std::string>&)>& journal)
{
    std::map<std::string, int> seen;
    const nlohmann::json jobs = journal({});
    for (const nlohmann::json& job : jobs) {
        const nlohmann::json shown = journal({"show", std::to_string(job["id"].get<long long>())});
        for (const nlohmann::json& record : shown["recordList"])
            for (const auto& field : record["fields"].items())
                ++seen[field.value().get<std::string>()];
    }
    return seen;
}

// The shop's database stops (as a crash would) while a station prints a
// batch: the batch prints to its end, a numbered form is refused, a plain
// one prints into the station's own journal; once the database is back and
// shop sync ran, every record printed is in the shop exactly once.
TEST_F(CupsShop, TheShopStoppingMidBatchLeavesEveryRecordInItOnceAfterSync)
{
    std::string error;
    test::PostgresServer* server = test::PostgresServer::shared(error);
    ASSERT_NE(server, nullptr) << error;
    constexpr int kRecords = 12;
    buildCard("${单号}");
    writeData(kRecords);
    const AsStation east(scratch.path(), "east");
    std::mt19937 random(static_cast<unsigned>(std::random_device{}()));
    const int stopAt = std::uniform_int_distribution<int>(2, kRecords - 2)(random);
    bool stopped = false;
    const auto batch = runTool(printArgs({"--data", data.string(), "--job-size", "2"}), [&](const std::string& line, pid_t) {
        if (!stopped && line == std::to_string(stopAt) + "/" + std::to_string(kRecords) + "\n") {
            EXPECT_EQ(server->stop(), "");
            stopped = true;
        }
    });
    ASSERT_TRUE(stopped) << batch.output;
    EXPECT_EQ(batch.status, 0) << "stopped at record " << stopAt << ": " << batch.output;

    buildCard("N${#seq:WB:000}");
    const auto refused = runTool(printArgs());
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find("连不上，用到计数器的模板现在不能打印"), std::string::npos) << refused.output;
    buildCard("OFFLINE");
    const auto offline = runTool(printArgs());
    EXPECT_EQ(offline.status, 0) << offline.output;
    EXPECT_NE(offline.output.find("kept in this station's own journal"), std::string::npos) << offline.output;

    ASSERT_EQ(server->start(), "");
    const auto synced = runTool({"shop", "sync"});
    ASSERT_EQ(synced.status, 0) << synced.output;
    EXPECT_NE(synced.output.find("1 jobs uploaded"), std::string::npos) << synced.output;

    std::map<std::string, int> expected{{"OFFLINE", 1}};
    for (int r = 1; r <= kRecords; ++r)
        expected[std::string("R") + (r < 10 ? "0" : "") + std::to_string(r)] = 1;
    EXPECT_EQ(symbolsArrived(), expected) << "stopped at record " << stopAt;
    const auto journal = [&](const std::vector<std::string>& args) { return journalJson(args); };
    EXPECT_EQ(recordsInTheShop(journal), expected) << "stopped at record " << stopAt;
    for (const nlohmann::json& job : journalJson({}))
        EXPECT_EQ(job["station"], "east");
}

// A station's numbered batch killed at a random record is resumed from the
// shop's journal: every record prints once, each with the number it took.
TEST_F(CupsShop, ABatchKilledMidWayIsResumedFromTheShopAndEveryRecordPrintsOnce)
{
    constexpr int kRecords = 12;
    buildCard("${单号}N${#seq:WB:000}");
    writeData(kRecords);
    const AsStation east(scratch.path(), "east");
    std::mt19937 random(static_cast<unsigned>(std::random_device{}()));
    const int killAt = std::uniform_int_distribution<int>(1, kRecords - 1)(random);
    bool killed = false;
    const auto first = runTool(printArgs({"--data", data.string(), "--job-size", "2"}), [&](const std::string& line, pid_t pid) {
        if (!killed && line == std::to_string(killAt) + "/" + std::to_string(kRecords) + "\n") {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    });
    ASSERT_TRUE(killed) << first.output;
    const nlohmann::json jobs = journalJson({});
    ASSERT_TRUE(jobs.is_array() && jobs.size() == 1) << jobs.dump();
    EXPECT_EQ(jobs[0]["station"], "east");
    const std::string id = std::to_string(jobs[0]["id"].get<long long>());
    const auto resumed = runTool({"journal", "resume", id});
    ASSERT_EQ(resumed.status, 0) << "killed at record " << killAt << ": " << resumed.output;

    // Each record once, with the number the shop gave it when the batch began.
    std::map<std::string, int> expected;
    for (int r = 1; r <= kRecords; ++r) {
        const std::string digits = std::to_string(r);
        expected[std::string("R") + (r < 10 ? "0" : "") + digits + "N" + std::string(3 - digits.size(), '0') + digits] = 1;
    }
    EXPECT_EQ(symbolsArrived(), expected) << "killed at record " << killAt;
    EXPECT_EQ(journalJson({"show", id})["outcome"], "printed");
}

// A station whose shop's database cannot be reached: a template with
// counters is refused, naming the database (a number taken offline could be
// another station's); one without counters prints, and the journal's
// problem is told.
TEST_F(CupsJournal, AStationCutOffFromItsShopRefusesCountersAndPrintsTheRest)
{
    const fs::path config = scratch.path() / "cut-off";
    fs::create_directories(config / "ordavel");
    const std::string database = "host=" + (scratch.path() / "no-server").string() + " dbname=shop connect_timeout=1";
    std::ofstream(config / "ordavel" / "shop.ini") << "[shop]\nconnection=" << database << "\nstation=east\n";
    const std::string as = "XDG_CONFIG_HOME=" + shellQuoted(config) + " " + ORDAVEL_CLI + " ";
    const std::string print = "print " + shellQuoted(oxf) + " --printer " + queue.name + " --calibration none";

    buildCard("${#seq:WB:000000}");
    const auto refused = runCommand("{ " + as + print + " 2>&1; }");
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find("“" + database + "”连不上"), std::string::npos) << refused.output;

    buildCard("PLAIN");
    const auto plain = runCommand("{ " + as + print + " 2>&1; }");
    EXPECT_EQ(plain.status, 0) << plain.output;
    EXPECT_NE(plain.output.find("print journal"), std::string::npos) << plain.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"PLAIN", 1}}));
}
#endif

// Several forms to a sheet: the journal shows each record's sheet and cell,
// and a reprint of records 2, 5 and 6 puts each into the cell it first had
// (two sheets), or with --pack into cells 1 to 3 of one.
TEST_F(CupsJournal, ASheetBatchKeepsEachRecordsCellAndAReprintGoesBackIntoThemOrIsPacked)
{
    const fs::path json = scratch.path() / "labels.json";
    std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 9, "sheet": "21,29.7,2,3,0.5,1,10,9.5", "boxes": [)"
                           R"({"cType": 8, "pPewW": false, "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128",)"
                           R"( "wValue": "${单号}"}]})";
    const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
    ASSERT_EQ(built.status, 0) << built.output;
    writeData(8);
    const auto printed = runTool(printArgs({"--data", data.string(), "--start-cell", "4"}));
    ASSERT_EQ(printed.status, 0) << printed.output;
    EXPECT_EQ(pagesArrived(), (std::vector<std::string>{"R01,R02,R03", "R04,R05,R06,R07,R08"}));
    const nlohmann::json jobs = journalJson({});
    ASSERT_EQ(jobs.size(), 1u) << jobs.dump();
    const std::string id = std::to_string(jobs[0]["id"].get<long long>());

    const auto places = [&](const std::string& job) {
        std::vector<std::pair<int, int>> found;
        const nlohmann::json shown = journalJson({"show", job});
        for (const auto& record : shown["recordList"])
            found.emplace_back(record.value("sheet", 0), record.value("cell", 0));
        return found;
    };
    EXPECT_EQ(places(id), (std::vector<std::pair<int, int>>{{1, 4}, {1, 5}, {1, 6}, {2, 1}, {2, 2}, {2, 3}, {2, 4},
                                                            {2, 5}}));
    const auto text = runTool({"journal", "show", id});
    EXPECT_NE(text.output.find("  1\t#1\tprinted\tsheet 1 cell 4\t"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("  8\t#8\tprinted\tsheet 2 cell 5\t"), std::string::npos) << text.output;

    clearArrived();
    const auto reprinted = runTool({"journal", "reprint", id, "--records", "2,5,6"});
    ASSERT_EQ(reprinted.status, 0) << reprinted.output;
    EXPECT_EQ(pagesArrived(), (std::vector<std::string>{"R02", "R05,R06"}));
    const nlohmann::json afterReprint = journalJson({});
    ASSERT_EQ(afterReprint.size(), 2u);
    EXPECT_EQ(places(std::to_string(afterReprint[0]["id"].get<long long>())),
              (std::vector<std::pair<int, int>>{{1, 5}, {2, 2}, {2, 3}}));

    clearArrived();
    const auto packed = runTool({"journal", "reprint", id, "--records", "2,5,6", "--pack"});
    ASSERT_EQ(packed.status, 0) << packed.output;
    EXPECT_EQ(pagesArrived(), (std::vector<std::string>{"R02,R05,R06"}));
    const nlohmann::json afterPack = journalJson({});
    ASSERT_EQ(afterPack.size(), 3u);
    EXPECT_EQ(places(std::to_string(afterPack[0]["id"].get<long long>())),
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}}));

    // Sheets are numbered through the print: each printer job starts a new one.
    clearArrived();
    const auto inJobs = runTool(printArgs({"--data", data.string(), "--start-cell", "4", "--job-size", "4"}));
    ASSERT_EQ(inJobs.status, 0) << inJobs.output;
    const nlohmann::json afterJobs = journalJson({});
    ASSERT_EQ(afterJobs.size(), 4u);
    EXPECT_EQ(places(std::to_string(afterJobs[0]["id"].get<long long>())),
              (std::vector<std::pair<int, int>>{{1, 4}, {1, 5}, {1, 6}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {3, 4}}));
}

TEST_F(CupsJournal, TwoProcessesPrintingWithOneCounterNeverShareANumber)
{
    constexpr int kEach = 5;
    buildCard("${#seq:waybill:0000}");
    writeData(kEach);
    // Made before the race so that both open an existing journal.
    ASSERT_EQ(runTool({"journal", "counter", "waybill", "--set", "1"}).status, 0);
    test::RunResult a;
    std::thread other([&] { a = runTool(printArgs({"--data", data.string(), "--job-size", "1"})); });
    const auto b = runTool(printArgs({"--data", data.string(), "--job-size", "1"}));
    other.join();
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    std::map<std::string, int> expected;
    for (int n = 1; n <= 2 * kEach; ++n) {
        char text[8];
        std::snprintf(text, sizeof text, "%04d", n);
        expected[text] = 1;
    }
    EXPECT_EQ(symbolsArrived(), expected);
}

TEST_F(CupsJournal, ADamagedJournalIsSetAsideAndThePrintGoesAheadAndSaysSo)
{
    buildCard("DAMAGED1");
    fs::create_directories(dataHome / "ordavel");
    std::ofstream(dataHome / "ordavel" / "journal.sqlite") << std::string(5000, '#');
    const auto printed = runTool(printArgs());
    EXPECT_EQ(printed.status, 0) << printed.output;
    EXPECT_NE(printed.output.find("print journal:"), std::string::npos) << printed.output;
    EXPECT_NE(printed.output.find("set aside"), std::string::npos) << printed.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"DAMAGED1", 1}}));
    int setAside = 0;
    for (const auto& entry : fs::directory_iterator(dataHome / "ordavel"))
        setAside += entry.path().filename().string().rfind("journal.sqlite.damaged-", 0) == 0 ? 1 : 0;
    EXPECT_EQ(setAside, 1);
    // The fresh journal holds the print.
    EXPECT_EQ(journalJson({}).size(), 1u);
}

TEST_F(CupsJournal, AJournalOnAFullDiskDoesNotStopThePrintAndSaysSo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    buildCard("FULL1");
    const fs::path small = scratch.path() / "small";
    fs::create_directories(small);
    const std::string cli = ORDAVEL_CLI;
    // A 256 KB tmpfs in a private mount namespace: the journal made, then the disk filled.
    const auto run = runCommand(
        "unshare -m sh -c \"mount -t tmpfs -o size=256k tmpfs " + shellQuoted(small) + " || exit 77; export XDG_DATA_HOME="
        + shellQuoted(small) + "; " + cli + " journal --stats >/dev/null; dd if=/dev/zero of=" + shellQuoted(small)
        + "/fill bs=4k 2>/dev/null; " + cli + " print " + shellQuoted(oxf) + " --printer " + queue.name
        + " --calibration none; echo status=\\$?\"");
    if (run.status == 77)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << run.output;
    EXPECT_NE(run.output.find("status=0"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("print journal:"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("full"), std::string::npos) << run.output;
    EXPECT_EQ(symbolsArrived(), (std::map<std::string, int>{{"FULL1", 1}}));
}

} // namespace
} // namespace ordavel
