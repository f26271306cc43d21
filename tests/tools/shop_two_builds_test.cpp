// Two builds of the tool as two stations of one shop: the tool under test
// (ordavel-cli.exe under Wine when scripts/test-windows runs these tests) and
// this build's own. Each prints a 20-record batch of one numbered form to a
// cups-pdf queue at the same time as the other; the shop hands out the
// numbers 1 to 40, each once, which the shop's journal keeps with each record.
// (The pages themselves are not read back: Wine prints text as outlines.)
#include "cups_queue.h"
#include "tool_run.h"

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

class ShopTwoBuilds : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string(ORDAVEL_CLI) == ORDAVEL_OWN_CLI)
            GTEST_SKIP() << "one build under test: CupsShop has two stations of it";
        ::chmod(scratch.path().c_str(), 0777);
        if (const std::string why = queue.start("ordavel-two-builds", scratch.path() / "out"); !why.empty())
            GTEST_SKIP() << "no CUPS queue: " << why;
        std::string error;
        url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
    }

    // `cli` run as `station`, with its own configuration and journal folders.
    test::RunResult as(const std::string& station, const std::string& cli, const std::string& args) const
    {
        const fs::path home = scratch.path() / station;
        return runCommand("{ XDG_CONFIG_HOME=" + shellQuoted(home / "config") + " XDG_DATA_HOME="
                          + shellQuoted(home / "data") + " " + cli + " " + args + " 2>&1; }");
    }

    test::ScratchDir scratch{"ordavel-two-builds"};
    test::cups::FolderQueue queue;
    std::string url;
};

TEST_F(ShopTwoBuilds, PrintingAtOnceTheyNeverShareANumber)
{
    const std::string tested = ORDAVEL_CLI;
    const std::string own = ORDAVEL_OWN_CLI;
    ASSERT_EQ(as("east", tested, "shop init " + shellQuoted(url)).status, 0);
    for (const auto& [station, cli] : {std::pair{"east", tested}, std::pair{"west", own}}) {
        const auto joined = as(station, cli, "shop join " + shellQuoted(url) + " --station " + station);
        ASSERT_EQ(joined.status, 0) << station << ": " << joined.output;
    }
    const fs::path form = scratch.path() / "waybill.oxf";
    const fs::path json = scratch.path() / "waybill.json";
    std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 1, "pX": 1, "pY": 1, "pW": 8,)"
                           R"( "pH": 2, "wValue": "${单号} ${#seq:WB:000000}"}]})";
    const auto built = runCommand(own + " build " + shellQuoted(json) + " -o " + shellQuoted(form));
    ASSERT_EQ(built.status, 0) << built.output;
    const fs::path data = scratch.path() / "orders.csv";
    {
        std::ofstream csv(data);
        csv << "单号\n";
        for (int r = 1; r <= 20; ++r)
            csv << "R" << r << "\n";
    }

    std::vector<test::RunResult> runs(2);
    // Wine's driver puts the form on a sheet of the queue's PPD; the numbers,
    // not the sheet, are what is tested here.
    const std::string args = "print " + shellQuoted(form) + " --printer " + queue.name
        + " --calibration none --allow-paper-mismatch --data " + shellQuoted(data);
    // Each station's printers are listed as its print starts; a scheduler
    // that other test programs start and stop may miss a list now and then.
    // Nothing is recorded before the printer is found, so such a print is
    // simply started again.
    const auto printAs = [&](const std::string& station, const std::string& cli) {
        test::RunResult run;
        for (int attempt = 0; attempt < 10; ++attempt) {
            run = as(station, cli, args);
            if (run.output.find("no printer named") == std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        return run;
    };
    std::thread east([&] { runs[0] = printAs("east", tested); });
    std::thread west([&] { runs[1] = printAs("west", own); });
    east.join();
    west.join();
    ASSERT_EQ(runs[0].status, 0) << "east: " << runs[0].output;
    ASSERT_EQ(runs[1].status, 0) << "west: " << runs[1].output;

    // What the shop kept, read by this build: one job of each station, 20
    // records each, and every number from 1 to 40 once.
    const auto listed = as("west", own, "journal --json");
    const nlohmann::json jobs = nlohmann::json::parse(listed.output, nullptr, false);
    ASSERT_TRUE(jobs.is_array()) << listed.output;
    ASSERT_EQ(jobs.size(), 2u) << listed.output;
    std::set<std::string> stations;
    std::map<long long, int> numbers;
    for (const nlohmann::json& job : jobs) {
        stations.insert(job["station"].get<std::string>());
        const auto shown = as("west", own, "journal show " + std::to_string(job["id"].get<long long>()) + " --json");
        const nlohmann::json detail = nlohmann::json::parse(shown.output, nullptr, false);
        ASSERT_TRUE(detail.is_object()) << shown.output;
        ASSERT_EQ(detail["recordList"].size(), 20u) << shown.output;
        for (const nlohmann::json& record : detail["recordList"]) {
            const nlohmann::json number = record.value("counters", nlohmann::json::object()).value("WB", nlohmann::json());
            ASSERT_TRUE(number.is_number_integer()) << "every record keeps its number: " << record.dump();
            ++numbers[number.get<long long>()];
        }
    }
    EXPECT_EQ(stations, (std::set<std::string>{"east", "west"}));
    std::map<long long, int> once;
    for (long long n = 1; n <= 40; ++n)
        once[n] = 1;
    EXPECT_EQ(numbers, once);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM stations"), 2);

    // The tested tool reads the same: the other station's jobs, and the shop's stations.
    const auto westListed = as("east", tested, "journal --station west --json");
    const nlohmann::json westJobs = nlohmann::json::parse(westListed.output, nullptr, false);
    ASSERT_TRUE(westJobs.is_array()) << westListed.output;
    ASSERT_EQ(westJobs.size(), 1u) << westListed.output;
    EXPECT_EQ(westJobs[0]["station"], "west");
    const auto status = as("east", tested, "shop status --json");
    const nlohmann::json shown = nlohmann::json::parse(status.output, nullptr, false);
    ASSERT_TRUE(shown.is_object()) << status.output;
    EXPECT_EQ(shown["station"], "east");
    EXPECT_EQ(shown["stations"].size(), 2u) << status.output;
    const auto synced = as("east", tested, "shop sync");
    EXPECT_EQ(synced.status, 0) << "nothing waits, and saying so is no failure: " << synced.output;
}

} // namespace
} // namespace ordavel
#endif
