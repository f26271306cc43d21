// The shop's print queue end to end: up to three stations, each an
// `ordavel-cli serve` process with its own configuration and its own
// cups-pdf queue, on one PostgreSQL database. Each page carries its record as a Code 128
// symbol, read back from the PDFs.
#include "event_listener.h"
#include "service_fixture.h"
#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"

#include <algorithm>
#include <atomic>

namespace ordavel::test {
namespace {

class ShopStations : public ServiceTest {
protected:
    ShopStations() : ServiceTest("ordavel-shopq") {}

    struct Station {
        std::string name;
        fs::path home;
        std::string token;
        ServiceProcess process;
    };

    void SetUp() override
    {
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        if (const std::string why = queueB.start("ordavel-shopqb", scratch.path() / "outb"); !why.empty())
            GTEST_SKIP() << "no second CUPS queue: " << why;
        if (const std::string why = queueC.start("ordavel-shopqc", scratch.path() / "outc"); !why.empty())
            GTEST_SKIP() << "no third CUPS queue: " << why;
        ASSERT_NO_FATAL_FAILURE(addCardTemplate("card"));
        std::string error;
        url = PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_EQ(tool("shop init " + shellQuoted(url)).status, 0);
        for (Station* s : {&a, &b, &c}) {
            s->home = scratch.path() / s->name;
            use(*s);
            ASSERT_EQ(tool("shop join " + shellQuoted(url) + " --station " + s->name).status, 0);
        }
        // Added on the back station, the shop's token works on the front's too.
        b.token = addToken("orders");
        a.token = b.token;
        c.token = b.token;
        EXPECT_NE(tool("token add orders").status, 0) << "one token of that name in the whole shop";
    }

    void TearDown() override
    {
        a.process.stop();
        b.process.stop();
        c.process.stop();
        ServiceTest::TearDown();
    }

    // The station's own configuration and data, for the tool and the service started next.
    void use(const Station& s)
    {
        ::setenv("XDG_CONFIG_HOME", (s.home / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (s.home / "data").c_str(), 1);
    }

    void start(Station& s, const std::string& lease = "60")
    {
        use(s);
        const std::string why = s.process.start({"--templates", templates.string(), "--lease", lease});
        ASSERT_TRUE(why.empty()) << why;
    }

    Reply post(const Station& s, const json& body)
    {
        return call(s.process.port, "POST", "/v1/jobs", s.token, body.dump());
    }
    json job(const Station& s, std::int64_t id) { return call(s.process.port, "GET", "/v1/jobs/" + std::to_string(id), s.token).body; }

    static json cards(const std::string& printer, const json& recs, const std::string& key = {})
    {
        json body = {{"template", "card"}, {"printer", printer}, {"records", recs}};
        if (!key.empty())
            body["key"] = key;
        return body;
    }

    std::int64_t number(const std::string& query) { return queryNumber(url, query); }

    // The codes printed on both queues, once both are empty.
    std::map<std::string, int> printedEverywhere()
    {
        for (const FolderQueue* q : {&queue, &queueB, &queueC})
            eventually([&] { return runCommand("lpstat -o " + q->name).output.empty(); }, 90s);
        std::this_thread::sleep_for(1s);
        auto seen = codesOnPages(queue.out, scratch.path() / "a");
        for (const auto& [code, n] : codesOnPages(queueB.out, scratch.path() / "b"))
            seen[code] += n;
        for (const auto& [code, n] : codesOnPages(queueC.out, scratch.path() / "c"))
            seen[code] += n;
        return seen;
    }

    static std::map<std::string, int> onceEach(int from, int to)
    {
        std::map<std::string, int> codes;
        for (int r = from; r <= to; ++r)
            codes["R" + std::to_string(r)] = 1;
        return codes;
    }

    FolderQueue queueB, queueC;
    std::string url;
    Station a{"front", {}, {}, {}};
    Station b{"back", {}, {}, {}};
    Station c{"side", {}, {}, {}};
};

// Three stations: posted to the front station for the back station's
// printer, it prints there, while the side station prints nothing; the same
// key posted to all three at once makes one job.
TEST_F(ShopStations, AJobPostedToOneStationPrintsOnAnothersPrinterOnce)
{
    if (setUpStopped())
        return;
    ASSERT_NO_FATAL_FAILURE(start(a));
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_NO_FATAL_FAILURE(start(c));
    const std::string target = "back/" + queueB.name;
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM shop_printers WHERE station = 'back'") > 0; }, 10s));
    const Reply printers = call(a.process.port, "GET", "/v1/printers", a.token);
    ASSERT_EQ(printers.status, 200) << printers.raw;
    const auto listed = std::find_if(printers.body.begin(), printers.body.end(),
                                     [&](const json& p) { return p.value("name", "") == target; });
    ASSERT_NE(listed, printers.body.end()) << printers.raw;
    EXPECT_EQ((*listed)["station"], "back");
    EXPECT_EQ((*listed)["state"], "idle");

    // The front's event stream tells what the back printed.
    test::EventListener listener(a.process.port, a.token, [](const std::string& stream) {
        return stream.find(R"("state":"printed","type":"job")") != std::string::npos;
    });
    const Reply posted = post(a, cards(target, records(1, 3)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    ASSERT_TRUE(eventually([&] { return job(a, id).value("state", "") == "printed"; }, 60s)) << job(a, id).dump();
    EXPECT_EQ(job(b, id).value("state", ""), "printed") << "every station sees the shop's jobs";
    EXPECT_TRUE(listener.heard()) << listener.stream();
    EXPECT_NE(listener.stream().find(R"("n":3,"state":"printed","type":"record")"), std::string::npos)
        << listener.stream();
    EXPECT_EQ(job(a, id)["records"][0].value("station", ""), "back");

    std::optional<Reply> first, second, third;
    std::thread fromA([&] { first = post(a, cards(target, records(4, 5), "order-7")); });
    std::thread fromB([&] { second = post(b, cards(target, records(4, 5), "order-7")); });
    std::thread fromC([&] { third = post(c, cards(target, records(4, 5), "order-7")); });
    fromA.join();
    fromB.join();
    fromC.join();
    ASSERT_TRUE(first && second && third);
    ASSERT_TRUE(first->body.contains("id") && second->body.contains("id") && third->body.contains("id"))
        << first->raw << second->raw << third->raw;
    EXPECT_EQ(first->body["id"], second->body["id"]);
    EXPECT_EQ(first->body["id"], third->body["id"]);
    const std::int64_t keyed = first->body["id"];
    ASSERT_TRUE(eventually([&] { return job(a, keyed).value("state", "") == "printed"; }, 60s));

    EXPECT_EQ(printedEverywhere(), onceEach(1, 5));
    EXPECT_TRUE(codesOnPages(queue.out, scratch.path() / "front-only").empty()) << "nothing on the front's printer";
    EXPECT_TRUE(codesOnPages(queueC.out, scratch.path() / "side-only").empty()) << "nothing on the side's printer";
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
}

// A pool of the back's printer and the front's prints on the front's once the
// back's is disabled.
TEST_F(ShopStations, APoolPrintsOnItsSecondMemberWhenTheFirstIsDisabled)
{
    if (setUpStopped())
        return;
    ASSERT_EQ(runSql(url, "INSERT INTO shop_pools(name, members) VALUES ('cards', '{back/" + queueB.name + ",front/"
                              + queue.name + "}')"),
              "");
    ASSERT_NO_FATAL_FAILURE(start(a));
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_EQ(runCommand("cupsdisable " + queueB.name).status, 0);
    ASSERT_TRUE(eventually([&] {
        return number("SELECT count(*) FROM shop_printers WHERE station = 'back' AND state = 'stopped'") > 0;
    }, 10s));

    const Reply posted = post(a, cards("cards", records(1, 4)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    ASSERT_TRUE(eventually([&] { return job(a, id).value("state", "") == "printed"; }, 60s)) << job(a, id).dump();
    runCommand("cupsenable " + queueB.name);
    EXPECT_EQ(codesOnPages(queue.out, scratch.path() / "front"), onceEach(1, 4));
    EXPECT_TRUE(codesOnPages(queueB.out, scratch.path() / "back").empty());
}

// A CUPS queue whose every job fails: its device is a serial port that does
// not exist, so the backend fails at once, and with the abort-job policy CUPS
// aborts the job and leaves the printer idle and accepting (the default
// policy would stop the printer instead). Removed with its jobs at the end.
class FailingQueue {
public:
    std::string start(const std::string& stem)
    {
        name = stem + "-" + std::to_string(::getpid());
        const auto added = runCommand("lpadmin -p " + name + " -E -v serial:/dev/" + name + " -P " + cups::kPpd
                                      + " -o printer-error-policy=abort-job");
        if (added.status != 0)
            return "lpadmin could not add the queue: " + added.output;
        m_added = true;
        return {};
    }
    ~FailingQueue()
    {
        if (m_added) {
            runCommand("cancel -a " + name);
            runCommand("lpadmin -x " + name);
        }
    }
    std::string name;

private:
    bool m_added = false;
};

// A pool whose first member's CUPS aborts every job: the records it was
// handed print once on the next member, and the job's state as announced
// names the member that failed.
TEST_F(ShopStations, APoolMemberWhoseSpoolerAbortsItsJobsHandsTheRecordsToTheNextMember)
{
    if (setUpStopped())
        return;
    FailingQueue broken;
    ASSERT_EQ(broken.start("ordavel-shopq-broken"), "");
    const std::string failing = "back/" + broken.name;
    ASSERT_EQ(runSql(url, "INSERT INTO shop_pools(name, members) VALUES ('cards', '{" + failing + ",front/" + queue.name
                              + "}')"),
              "");
    ASSERT_NO_FATAL_FAILURE(start(a));
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_TRUE(eventually([&] {
        return number("SELECT count(*) FROM shop_printers WHERE station = 'back' AND printer = '" + broken.name + "'") > 0
            && number("SELECT count(*) FROM shop_printers WHERE station = 'front'") > 0;
    }, 10s));

    // The front's stream hears what the back announced of the job, to its end.
    test::EventListener listener(a.process.port, a.token, [&failing](const std::string& stream) {
        return stream.find(failing + " 打印失败") != std::string::npos
            && stream.find(R"("state":"printed","type":"job")") != std::string::npos;
    });
    const Reply posted = post(a, cards("cards", records(1, 60)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    ASSERT_TRUE(eventually([&] { return job(a, id).value("state", "") == "printed"; }, 90s)) << job(a, id).dump();
    EXPECT_TRUE(listener.heard()) << listener.stream();
    // The records the failing member gave back were told waiting, never failed.
    EXPECT_EQ(listener.stream().find(R"("state":"failed","type":"record")"), std::string::npos) << listener.stream();
    EXPECT_NE(listener.stream().find(R"("state":"queued","type":"record")"), std::string::npos) << listener.stream();

    // CUPS really had the job and aborted it.
    const std::string history = runCommand("lpstat -W completed -o " + broken.name).output;
    EXPECT_NE(history.find(broken.name + "-"), std::string::npos) << history;
    EXPECT_EQ(printedEverywhere(), onceEach(1, 60));
    const json done = job(a, id);
    ASSERT_EQ(done["records"].size(), 60u);
    for (const json& record : done["records"]) {
        EXPECT_EQ(record.value("station", ""), "front") << record.dump();
        EXPECT_EQ(record.value("printer", ""), queue.name) << record.dump();
    }
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
}

// The back station killed in the middle of a 200-record job and started
// again: every record prints exactly once, and none is left uncertain.
TEST_F(ShopStations, AStationKilledMidJobAndStartedAgainPrintsEveryRecordOnce)
{
    if (setUpStopped())
        return;
    ASSERT_NO_FATAL_FAILURE(start(a));
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM shop_printers WHERE station = 'back'") > 0; }, 10s));
    const Reply posted = post(a, cards("back/" + queueB.name, records(1, 200)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM print_queue WHERE cups_job > 0") > 0; }, 60s));
    EXPECT_EQ(b.process.stop(SIGKILL), -SIGKILL);
    EXPECT_GT(number("SELECT count(*) FROM print_queue"), 0) << "killed before the job was done";
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_TRUE(eventually([&] { return job(a, id).value("state", "") == "printed"; }, 120s)) << job(a, id).dump();
    EXPECT_EQ(printedEverywhere(), onceEach(1, 200));
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
}

// The back station killed for good while printing for a pool: what it had
// not handed over prints on the front's printer once its lease runs out;
// what it had handed over is uncertain and printed by no one else.
TEST_F(ShopStations, AStationKilledForGoodLeavesItsHandedRecordsUncertainAndTheRestToThePool)
{
    if (setUpStopped())
        return;
    ASSERT_EQ(runSql(url, "INSERT INTO shop_pools(name, members) VALUES ('cards', '{back/" + queueB.name + ",front/"
                              + queue.name + "}')"),
              "");
    ASSERT_NO_FATAL_FAILURE(start(a, "5"));
    ASSERT_NO_FATAL_FAILURE(start(b, "5"));
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM shop_printers WHERE station = 'back'") > 0; }, 10s));
    const Reply posted = post(a, cards("cards", records(1, 200)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM print_queue WHERE cups_job > 0") > 0; }, 60s));
    EXPECT_EQ(b.process.stop(SIGKILL), -SIGKILL);
    const std::int64_t handed = number("SELECT count(*) FROM print_queue WHERE state = 'handed'");

    // Only the uncertain records stay in the queue, and no one prints them again.
    ASSERT_TRUE(eventually([&] {
        return number("SELECT count(*) FROM print_queue WHERE state <> 'uncertain'") == 0;
    }, 120s)) << job(a, id).dump();
    const std::int64_t uncertain = number("SELECT count(*) FROM print_queue WHERE state = 'uncertain'");
    EXPECT_EQ(uncertain, handed);
    EXPECT_GT(uncertain, 0);
    // Handed-over records print from the back's spooler (unless the kill came
    // between the claim's fence and the hand-over), the rest on the front's.
    for (const auto& [code, n] : printedEverywhere())
        EXPECT_EQ(n, 1) << code << " printed more than once";
    int onFront = 0;
    for (const auto& [code, n] : codesOnPages(queue.out, scratch.path() / "front"))
        onFront += n;
    EXPECT_EQ(onFront, 200 - uncertain);
    EXPECT_NE(job(a, id).value("reason", "").find("不确定"), std::string::npos) << job(a, id).dump();

    // The operator asks the front station's journal: resume prints nothing of
    // a shop queue's job, lists the uncertain records, and records what the
    // paper shows.
    use(a);
    const auto listed = tool("journal resume " + std::to_string(id));
    EXPECT_EQ(listed.status, 1);
    EXPECT_NE(listed.output.find("records are uncertain"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("back/" + queueB.name), std::string::npos) << listed.output;
    const auto settled = tool("journal resume " + std::to_string(id) + " --uncertain printed");
    EXPECT_EQ(settled.status, 0) << settled.output;
    EXPECT_NE(settled.output.find(std::to_string(uncertain) + " uncertain records recorded as printed"), std::string::npos)
        << settled.output;
    EXPECT_EQ(job(a, id).value("state", ""), "printed") << job(a, id).dump();
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
    int onFrontAfter = 0;
    for (const auto& [code, n] : codesOnPages(queue.out, scratch.path() / "front-after"))
        onFrontAfter += n;
    EXPECT_EQ(onFrontAfter, onFront) << "resume printed nothing";
}

// The shop's database stopped at once (as a crash would) while a 120-record
// job prints on the back's printer and a 60-record one on the side's, and
// started again: the stations go on, nothing is lost and nothing printed
// twice, and each record names the station and printer that printed it.
TEST_F(ShopStations, TheDatabaseRestartedMidJobLosesNothingAndPrintsNothingTwice)
{
    if (setUpStopped())
        return;
    ASSERT_NO_FATAL_FAILURE(start(a));
    ASSERT_NO_FATAL_FAILURE(start(b));
    ASSERT_NO_FATAL_FAILURE(start(c));
    // Both stations' printers are the shop's before jobs are posted to them.
    ASSERT_TRUE(eventually(
        [&] { return number("SELECT count(DISTINCT station) FROM shop_printers WHERE station IN ('back', 'side')") == 2; },
        10s));
    const Reply posted = post(a, cards("back/" + queueB.name, records(1, 120)));
    ASSERT_EQ(posted.status, 201) << posted.raw;
    const std::int64_t id = posted.body["id"];
    const Reply toSide = post(a, cards("side/" + queueC.name, records(121, 180)));
    ASSERT_EQ(toSide.status, 201) << toSide.raw;
    const std::int64_t sideId = toSide.body["id"];
    ASSERT_TRUE(eventually([&] { return number("SELECT count(*) FROM print_queue WHERE cups_job > 0") > 0; }, 60s));

    EXPECT_GT(number("SELECT count(*) FROM print_queue"), 0) << "stopped before the job was done";
    std::string error;
    PostgresServer* server = PostgresServer::shared(error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_EQ(server->stop(), "");
    std::this_thread::sleep_for(3s);
    ASSERT_EQ(server->start(), "");

    ASSERT_TRUE(eventually([&] { return job(a, id).value("state", "") == "printed"; }, 120s)) << job(a, id).dump();
    ASSERT_TRUE(eventually([&] { return job(a, sideId).value("state", "") == "printed"; }, 120s))
        << job(a, sideId).dump();
    EXPECT_EQ(printedEverywhere(), onceEach(1, 180));
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
    EXPECT_EQ(codesOnPages(queueC.out, scratch.path() / "side-only"), onceEach(121, 180));
    const json done = job(a, id);
    ASSERT_EQ(done["records"].size(), 120u);
    for (const json& record : done["records"]) {
        EXPECT_EQ(record.value("station", ""), "back") << record.dump();
        EXPECT_EQ(record.value("printer", ""), queueB.name) << record.dump();
    }
}

} // namespace
} // namespace ordavel::test
#endif
