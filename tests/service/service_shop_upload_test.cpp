// The print service of a station in a shop uploads what the station printed
// into its own journal file while the shop's database was down (a print of
// the tool here) within a few seconds of the database answering again, and
// only once.
#include "service_fixture.h"
#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <iostream>

namespace ordavel::test {
namespace {

#if ORDAVEL_POSTGRES
class ServiceUpload : public ServiceTest {
protected:
    ServiceUpload() : ServiceTest("ordavel-upload") {}
};

TEST_F(ServiceUpload, WhatPrintedWhileTheShopWasDownGoesUpSoonAfterItAnswersAndOnce)
{
    std::string error;
    PostgresServer* server = PostgresServer::shared(error);
    ASSERT_NE(server, nullptr) << error;
    const std::string url = server->createDatabase(error);
    ASSERT_FALSE(url.empty()) << error;
    ASSERT_EQ(tool("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(tool("shop join " + shellQuoted(url) + " --station desk").status, 0);
    const fs::path source = scratch.path() / "offline.json";
    const fs::path card = scratch.path() / "offline.oxf";
    std::ofstream(source) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                             R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "OFFLINE"}]})";
    ASSERT_EQ(tool("build " + shellQuoted(source) + " -o " + shellQuoted(card)).status, 0);
    startService();

    ASSERT_EQ(server->stop(), "");
    const auto offline = runCommand("{ " + std::string(ORDAVEL_CLI) + " print " + shellQuoted(card) + " --printer "
                                    + queue.name + " --calibration none 2>&1; }");
    EXPECT_EQ(offline.status, 0) << offline.output;
    EXPECT_NE(offline.output.find("kept in this station's own journal"), std::string::npos) << offline.output;
    std::this_thread::sleep_for(3s); // passes of the service meet the stopped server
    ASSERT_EQ(server->start(), "");
    const auto started = std::chrono::steady_clock::now();

    const auto uploaded = [&] {
        return json::parse(tool("journal --search OFFLINE --json 2>/dev/null").output, nullptr, false);
    };
    json jobs;
    EXPECT_TRUE(eventually([&] {
        jobs = uploaded();
        return jobs.is_array() && !jobs.empty();
    }, 15s));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    // The service looks every 2 s and connecting waits at most 2 s: told, not timed.
    std::cout << "uploaded " << took.count() << " ms after the shop's database started again\n";
    ASSERT_TRUE(jobs.is_array() && jobs.size() == 1u) << jobs.dump();
    EXPECT_EQ(jobs[0]["station"], "desk");
    EXPECT_EQ(jobs[0]["outcome"], "printed");
    std::this_thread::sleep_for(5s); // two more passes
    EXPECT_EQ(uploaded().size(), 1u);
    const auto status = json::parse(tool("shop status --json 2>/dev/null").output, nullptr, false);
    EXPECT_EQ(status.value("waitingUpload", -1), 0) << status.dump();
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"OFFLINE", 1}}));
}
#endif

} // namespace
} // namespace ordavel::test
