// The print service end to end: `ordavel-cli serve` as its own process, a
// cups-pdf queue writing into a folder of its own, HTTP on loopback. Each
// page carries its record as a Code 128 symbol, read back with zbarimg.
#include "event_listener.h"
#include "service_fixture.h"
#include "journal/journal.h"
#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <sstream>

namespace ordavel::test {
namespace {

class PrintService : public ServiceTest {
protected:
    PrintService() : ServiceTest("ordavel-service") {}

    void SetUp() override
    {
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        for (const char* name : {"card", "other"})
            ASSERT_NO_FATAL_FAILURE(addCardTemplate(name));
        shop = addToken("shop --origin http://shop.test");
        limited = addToken("limited --template other --printer nowhere");
    }

    Reply get(const std::string& path, const std::string& token, httplib::Headers headers = {})
    {
        return call(service.port, "GET", path, token, {}, std::move(headers));
    }
    Reply post(const std::string& path, const std::string& token, const json& body, httplib::Headers headers = {})
    {
        return call(service.port, "POST", path, token, body.dump(), std::move(headers));
    }

    json job(const json& recs, const std::string& key = {}) const
    {
        json body = {{"template", "card"}, {"printer", queue.name}, {"records", recs}};
        if (!key.empty())
            body["key"] = key;
        return body;
    }

    // Waits until job `id` reaches `state`; its last view.
    json waitFor(std::int64_t id, const std::string& state, std::chrono::milliseconds timeout = 60s)
    {
        json last;
        eventually([&] {
            last = get("/v1/jobs/" + std::to_string(id), shop).body;
            return last.value("state", "") == state;
        }, timeout);
        return last;
    }

    std::string shop;
    std::string limited;
};

TEST_F(PrintService, PrintsEachRecordOnceAndAnswersADuplicateKeyWithTheFirstJob)
{
    startService();
    EXPECT_EQ(get("/v1/info", "").body, (json{{"name", "ordavel"}, {"version", ORDAVEL_VERSION}, {"api", 1}}));

    const Reply printers = get("/v1/printers", shop);
    ASSERT_EQ(printers.status, 200) << printers.raw;
    bool listed = false;
    for (const auto& p : printers.body)
        if (p["name"] == queue.name) {
            listed = true;
            EXPECT_EQ(p["state"], "idle");
            EXPECT_EQ(p["accepting"], true);
            EXPECT_EQ(p["calibrated"], false);
        }
    EXPECT_TRUE(listed) << printers.raw;
    const Reply templatesReply = get("/v1/templates", shop);
    EXPECT_EQ(templatesReply.body, json::parse(R"([{"name":"card","paper":[100.0,50.0],"fields":["单号"]},)"
                                               R"({"name":"other","paper":[100.0,50.0],"fields":["单号"]}])"));

    const Reply first = post("/v1/jobs", shop, job(records(1, 3), "order-1"));
    ASSERT_EQ(first.status, 201) << first.raw;
    EXPECT_EQ(first.body["state"], "queued");
    EXPECT_EQ(first.body["records"].size(), 3u);
    const std::int64_t id = first.body["id"];
    const Reply again = post("/v1/jobs", shop, job(records(1, 3), "order-1"));
    EXPECT_EQ(again.status, 200) << again.raw;
    EXPECT_EQ(again.body["id"], id);

    const json done = waitFor(id, "printed");
    ASSERT_EQ(done["state"], "printed") << done.dump();
    EXPECT_EQ(done["key"], "order-1");
    for (const auto& r : done["records"]) {
        EXPECT_EQ(r["state"], "printed");
        EXPECT_TRUE(r["cupsJob"].is_number_integer()) << done.dump();
    }
    const Reply list = get("/v1/jobs?since=2000-01-01T00:00:00Z", shop);
    ASSERT_EQ(list.body.size(), 1u) << list.raw;
    EXPECT_EQ(list.body[0]["id"], id);
    EXPECT_EQ(get("/v1/jobs", limited).body, json::array()) << "another token's jobs are not listed";
    EXPECT_EQ(get("/v1/jobs/" + std::to_string(id), limited).code(), "no-such-job");
    EXPECT_EQ(get("/v1/jobs?since=yesterday", shop).code(), "bad-since");

    // A reprint of record 2 is a new job that names the first.
    const Reply reprint = post("/v1/jobs/" + std::to_string(id) + "/reprint", shop, {{"records", {2}}});
    ASSERT_EQ(reprint.status, 201) << reprint.raw;
    const json repeated = waitFor(reprint.body["id"], "printed");
    EXPECT_EQ(repeated["repeats"], id);
    EXPECT_EQ(post("/v1/jobs/" + std::to_string(id) + "/reprint", shop, {{"records", {4}}}).code(), "wrong-type");

    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 2}, {"R3", 1}}));
}

// A reprint prints the form as it first printed, from the template bytes the
// journal kept, though the file changed and then went; the journal keeps
// each record's printed text and the columns it used, so that its search
// finds service prints and `journal show` shows their values.
TEST_F(PrintService, ReprintsFromTheKeptTemplateAndJournalsWhatEachRecordPrinted)
{
    startService();
    json body = job(records(1, 2));
    body["records"][0]["备注"] = "not a column of the card";
    const Reply first = post("/v1/jobs", shop, body);
    ASSERT_EQ(first.status, 201) << first.raw;
    const std::int64_t id = first.body["id"];
    ASSERT_EQ(waitFor(id, "printed")["state"], "printed");

    // The card now prints "X" before the number: new jobs show it, reprints do not.
    const fs::path changed = scratch.path() / "changed.json";
    std::ofstream(changed) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                              R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "X${单号}"}]})";
    ASSERT_EQ(tool("build " + shellQuoted(changed) + " -o " + shellQuoted(templates / "card.oxf")).status, 0);
    const Reply fresh = post("/v1/jobs", shop, job(records(5, 5)));
    ASSERT_EQ(fresh.status, 201) << fresh.raw;
    EXPECT_EQ(waitFor(fresh.body["id"], "printed")["state"], "printed");
    const Reply again = post("/v1/jobs/" + std::to_string(id) + "/reprint", shop, {{"records", {2}}});
    ASSERT_EQ(again.status, 201) << again.raw;
    EXPECT_EQ(waitFor(again.body["id"], "printed")["state"], "printed");
    fs::remove(templates / "card.oxf");
    const Reply gone = post("/v1/jobs/" + std::to_string(id) + "/reprint", shop, {{"records", {1}}});
    ASSERT_EQ(gone.status, 201) << gone.raw;
    EXPECT_EQ(waitFor(gone.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 2}, {"R2", 2}, {"XR5", 1}}));

    // What each record printed, as the journal tells it.
    const json shown = json::parse(tool("journal show " + std::to_string(id) + " --json").output, nullptr, false);
    ASSERT_TRUE(shown.is_object()) << "journal show gave no JSON";
    ASSERT_EQ(shown["recordList"].size(), 2u) << shown.dump();
    EXPECT_EQ(shown["program"], "service");
    EXPECT_EQ(shown["recordList"][1]["fields"], (json{{"box 1", "R2"}})) << shown.dump();
    EXPECT_EQ(shown["recordList"][0]["columns"], (json{{"单号", "R1"}})) << "only the columns the card uses";
    const json reprinted = json::parse(tool("journal show " + std::to_string(again.body["id"].get<std::int64_t>())
                                            + " --json").output, nullptr, false);
    EXPECT_EQ(reprinted["recordList"][0]["fields"], (json{{"box 1", "R2"}})) << "printed from the kept template";
    const json newer = json::parse(tool("journal show " + std::to_string(fresh.body["id"].get<std::int64_t>())
                                        + " --json").output, nullptr, false);
    EXPECT_EQ(newer["recordList"][0]["fields"], (json{{"box 1", "XR5"}}));
    const json found = json::parse(tool("journal --search XR5 --json").output, nullptr, false);
    ASSERT_TRUE(found.is_array()) << "journal --search gave no JSON";
    ASSERT_EQ(found.size(), 1u) << found.dump();
    EXPECT_EQ(found[0]["id"], fresh.body["id"]);
}

#if ORDAVEL_POSTGRES
// On a station of a shop the service prints the library's latest revision of
// a name before the folder's file of that name, the folder's file for names
// the library lacks, and each job records the revision it printed.
TEST_F(PrintService, InAShopPrintsTheLibrarysTemplateAndRecordsItsRevision)
{
    std::string error;
    const std::string url = PostgresServer::newDatabase(error);
    ASSERT_FALSE(url.empty()) << error;
    ASSERT_EQ(tool("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(tool("shop join " + shellQuoted(url) + " --station desk").status, 0);
    // The library's card is 12 cm wide and prints "L" before the number.
    const fs::path source = scratch.path() / "library.json";
    const fs::path card = scratch.path() / "library" / "card.oxf";
    fs::create_directories(card.parent_path());
    std::ofstream(source) << R"({"pageWidth": 12, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                             R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "L${单号}"}]})";
    ASSERT_EQ(tool("build " + shellQuoted(source) + " -o " + shellQuoted(card)).status, 0);
    ASSERT_EQ(tool("shop publish " + shellQuoted(card)).status, 0);
    startService();

    const Reply listed = get("/v1/templates", shop);
    EXPECT_EQ(listed.body, json::parse(R"([{"name":"card","paper":[120.0,50.0],"fields":["单号"]},)"
                                       R"({"name":"other","paper":[100.0,50.0],"fields":["单号"]}])"));
    const Reply fromLibrary = post("/v1/jobs", shop, job(records(1, 2)));
    ASSERT_EQ(fromLibrary.status, 201) << fromLibrary.raw;
    ASSERT_EQ(waitFor(fromLibrary.body["id"], "printed")["state"], "printed");
    json fromFolder = job(records(3, 3));
    fromFolder["template"] = "other";
    const Reply folder = post("/v1/jobs", shop, fromFolder);
    ASSERT_EQ(folder.status, 201) << folder.raw;
    ASSERT_EQ(waitFor(folder.body["id"], "printed")["state"], "printed");

    // A revision published while the service runs is what its next job prints.
    std::ofstream(source) << R"({"pageWidth": 12, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                             R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "M${单号}"}]})";
    ASSERT_EQ(tool("build " + shellQuoted(source) + " -o " + shellQuoted(card)).status, 0);
    ASSERT_EQ(tool("shop publish " + shellQuoted(card)).status, 0);
    const Reply revised = post("/v1/jobs", shop, job(records(4, 4)));
    ASSERT_EQ(revised.status, 201) << revised.raw;
    ASSERT_EQ(waitFor(revised.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"LR1", 1}, {"LR2", 1}, {"R3", 1}, {"MR4", 1}}));

    const json journal = json::parse(tool("journal --json").output, nullptr, false);
    ASSERT_TRUE(journal.is_array() && journal.size() == 3u) << journal.dump();
    std::map<std::int64_t, int> revisions; // by job id; 0: no revision shown
    for (const json& j : journal) {
        revisions[j["id"].get<std::int64_t>()] = j.value("revision", 0);
        EXPECT_EQ(j["station"], "desk");
    }
    EXPECT_EQ(revisions, (std::map<std::int64_t, int>{{fromLibrary.body["id"].get<std::int64_t>(), 1},
                                                      {folder.body["id"].get<std::int64_t>(), 0},
                                                      {revised.body["id"].get<std::int64_t>(), 2}}));
}
#endif

TEST_F(PrintService, RefusesMissingRevokedAndForeignCallersAndNamesOnlyAllowedOrigins)
{
    startService();
    EXPECT_EQ(get("/v1/printers", "").status, 401);
    EXPECT_EQ(get("/v1/printers", "").code(), "unauthorized");
    EXPECT_EQ(get("/v1/printers", std::string(64, '0')).code(), "unauthorized");
    EXPECT_EQ(post("/v1/jobs", "", job(records(1, 1))).code(), "unauthorized");

    // An allowed origin is named back; any other is refused and never named.
    const Reply allowed = get("/v1/printers", shop, {{"Origin", "http://shop.test"}});
    EXPECT_EQ(allowed.status, 200);
    EXPECT_EQ(allowed.header("Access-Control-Allow-Origin"), "http://shop.test");
    const Reply foreign = post("/v1/jobs", shop, job(records(1, 1)), {{"Origin", "http://evil.test"}});
    EXPECT_EQ(foreign.status, 403);
    EXPECT_EQ(foreign.code(), "origin-not-allowed");
    EXPECT_EQ(foreign.header("Access-Control-Allow-Origin"), "");
    EXPECT_EQ(get("/v1/printers", shop, {{"Origin", "http://shop.test.evil.test"}}).code(), "origin-not-allowed");
    // A token without origins cannot be used from any page.
    EXPECT_EQ(get("/v1/templates", limited, {{"Origin", "http://shop.test"}}).code(), "origin-not-allowed");

    const Reply preflight = call(service.port, "OPTIONS", "/v1/jobs", "", {},
                                 {{"Origin", "http://shop.test"}, {"Access-Control-Request-Method", "POST"}});
    EXPECT_EQ(preflight.status, 204);
    EXPECT_EQ(preflight.header("Access-Control-Allow-Origin"), "http://shop.test");
    EXPECT_NE(preflight.header("Access-Control-Allow-Headers").find("Authorization"), std::string::npos);
    const Reply foreignPreflight = call(service.port, "OPTIONS", "/v1/jobs", "", {}, {{"Origin", "http://evil.test"}});
    EXPECT_EQ(foreignPreflight.status, 403);
    EXPECT_EQ(foreignPreflight.header("Access-Control-Allow-Origin"), "");

    // Rights: the limited token sees only what it names and prints nothing else.
    EXPECT_EQ(get("/v1/printers", limited).body, json::array());
    const Reply theirs = get("/v1/templates", limited);
    ASSERT_EQ(theirs.body.size(), 1u) << theirs.raw;
    EXPECT_EQ(theirs.body[0]["name"], "other");
    EXPECT_EQ(post("/v1/jobs", limited, job(records(1, 1))).code(), "not-allowed");
    json otherTemplate = job(records(1, 1));
    otherTemplate["template"] = "other";
    EXPECT_EQ(post("/v1/jobs", limited, otherTemplate).code(), "not-allowed") << "the printer is not the token's";
    EXPECT_EQ(post("/v1/preview", limited, {{"template", "card"}, {"record", {{"单号", "x"}}}}).code(), "not-allowed");

    // Tokens added and revoked while the service runs count within seconds.
    const std::string later = addToken("later");
    EXPECT_TRUE(eventually([&] { return get("/v1/printers", later).status == 200; }, 5s));
    ASSERT_EQ(tool("token revoke later").status, 0);
    EXPECT_TRUE(eventually([&] { return get("/v1/printers", later).status == 401; }, 5s));
    const auto list = tool("token list");
    EXPECT_EQ(list.output.find(shop), std::string::npos) << "the list never shows a token";
    EXPECT_NE(list.output.find("http://shop.test"), std::string::npos) << list.output;
    EXPECT_EQ(list.output.find("later"), std::string::npos) << list.output;
    std::ifstream ini(scratch.path() / "config" / "ordavel" / "service.ini");
    const std::string stored{std::istreambuf_iterator<char>(ini), {}};
    EXPECT_EQ(stored.find(shop), std::string::npos) << "only digests are stored";

    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(runCommand("lpstat -W all -o " + queue.name).output.empty()) << "nothing was printed";
}

TEST_F(PrintService, AnswersBadInputWithItsCodeAndPosition)
{
    startService({"--max-waiting", "5"});
    const auto raw = [&](const std::string& body) { return call(service.port, "POST", "/v1/jobs", shop, body); };
    const Reply broken = raw(R"({"template": "card", "records": [)");
    EXPECT_EQ(broken.code(), "bad-json");
    EXPECT_EQ(broken.body["error"]["position"], 34) << "bytes count from 1; the end is one past the last";
    const Reply badUtf8 = raw("{\"template\": \"ca\xff\"}");
    EXPECT_EQ(badUtf8.code(), "bad-utf8");
    EXPECT_EQ(badUtf8.body["error"]["position"], 17);
    EXPECT_EQ(raw("[1]").code(), "wrong-type");

    json nested = job(records(1, 2));
    nested["records"][1]["单号"] = json::array({1});
    const Reply wrong = post("/v1/jobs", shop, nested);
    EXPECT_EQ(wrong.code(), "wrong-type");
    EXPECT_EQ(wrong.body["error"]["position"], "/records/1/单号");
    json copies = job(records(1, 1));
    copies["copies"] = "2";
    EXPECT_EQ(post("/v1/jobs", shop, copies).body["error"]["position"], "/copies");

    for (const char* name : {"../card", "a/b", "a\\b", "..", "x\x01y", ""}) {
        json body = job(records(1, 1));
        body["template"] = name;
        EXPECT_EQ(post("/v1/jobs", shop, body).code(), "bad-template-name") << name;
    }
    json unknown = job(records(1, 1));
    unknown["template"] = "nothing";
    EXPECT_EQ(post("/v1/jobs", shop, unknown).code(), "no-such-template");
    json noPrinter = job(records(1, 1));
    noPrinter["printer"] = "nowhere";
    EXPECT_EQ(post("/v1/jobs", shop, noPrinter).code(), "no-such-printer");
    json missing = job(json::array({{{"单号", "R1"}}, {{"收件人", "x"}}}));
    const Reply lacking = post("/v1/jobs", shop, missing);
    EXPECT_EQ(lacking.code(), "missing-columns");
    EXPECT_EQ(lacking.body["error"]["columns"], json::array({"单号"}));
    EXPECT_EQ(lacking.body["error"]["record"], 2);

    // Limits: the body, the records of one job and the records waiting.
    const Reply huge = raw(std::string(16 * 1024 * 1024 + 1, ' '));
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(huge.code(), "too-large");
    EXPECT_EQ(post("/v1/jobs", shop, job(records(1, 10001))).code(), "too-many-records");
    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    std::this_thread::sleep_for(1100ms); // the service looks at the printers once a second
    EXPECT_EQ(post("/v1/jobs", shop, job(records(1, 5))).status, 201);
    const Reply full = post("/v1/jobs", shop, job(records(6, 6)));
    EXPECT_EQ(full.status, 429);
    EXPECT_EQ(full.code(), "queue-full");
    EXPECT_FALSE(full.header("Retry-After").empty());
}

TEST_F(PrintService, AStoppedPrinterKeepsJobsQueuedUntilItPrintsAgainAndExpiredOrCancelledOnesNever)
{
    startService();
    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    std::this_thread::sleep_for(1100ms);
    const Reply waiting = post("/v1/jobs", shop, job(records(1, 2)));
    json expiring = job(records(3, 3));
    expiring["expires"] = 1;
    const Reply expires = post("/v1/jobs", shop, expiring);
    const Reply cancelled = post("/v1/jobs", shop, job(records(4, 4)));
    ASSERT_EQ(waiting.status, 201);
    ASSERT_EQ(expires.status, 201);
    ASSERT_EQ(cancelled.status, 201);

    EXPECT_TRUE(eventually([&] {
        const json view = get("/v1/jobs/" + std::to_string(waiting.body["id"].get<int>()), shop).body;
        return view["state"] == "queued" && !view["reason"].get<std::string>().empty();
    }, 10s)) << "a waiting job says why";
    const Reply cancel = post("/v1/jobs/" + std::to_string(cancelled.body["id"].get<int>()) + "/cancel", shop, json::object());
    EXPECT_EQ(cancel.body["state"], "cancelled") << cancel.raw;
    EXPECT_EQ(waitFor(expires.body["id"], "expired", 10s)["state"], "expired");

    ASSERT_EQ(runCommand("cupsenable " + queue.name).status, 0);
    EXPECT_EQ(waitFor(waiting.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 1}}));
}

TEST_F(PrintService, PreviewsAPageAndStreamsStateChanges)
{
    startService();
    const Reply png = post("/v1/preview?dpi=50", shop, {{"template", "card"}, {"record", {{"单号", "P1"}}}});
    ASSERT_EQ(png.status, 200);
    EXPECT_EQ(png.raw.substr(1, 3), "PNG");
    const QImage picture = QImage::fromData(reinterpret_cast<const uchar*>(png.raw.data()), static_cast<int>(png.raw.size()));
    EXPECT_EQ(picture.width(), 197); // 100 mm at 50 dpi
    const Reply pdf = post("/v1/preview?format=pdf", shop, {{"template", "card"}, {"record", {{"单号", "P1"}}}});
    EXPECT_EQ(pdf.raw.substr(0, 5), "%PDF-");
    EXPECT_EQ(post("/v1/preview?dpi=0", shop, {{"template", "card"}, {"record", {{"单号", "P1"}}}}).code(), "bad-dpi");

    // The stream tells the token's own job reaching "printed".
    test::EventListener listener(service.port, shop, [](const std::string& stream) {
        return stream.find(R"("state":"printed","type":"job")") != std::string::npos;
    });
    const Reply sent = post("/v1/jobs", shop, job(records(1, 1)));
    ASSERT_EQ(sent.status, 201);
    waitFor(sent.body["id"], "printed");
    EXPECT_TRUE(listener.heard()) << listener.stream();
    EXPECT_NE(listener.stream().find(R"("type":"record")"), std::string::npos) << listener.stream();
}

TEST_F(PrintService, AHalfOpenConnectionTimesOutWithoutHoldingOthers)
{
    startService();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(service.port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string partial = "POST /v1/jobs HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{";
    ASSERT_EQ(::send(fd, partial.data(), partial.size(), 0), static_cast<ssize_t>(partial.size()));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(get("/v1/info", "").status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    timeval wait{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[256];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    EXPECT_GE(got, 0) << "the service closed the connection (or answered) within its timeout";
    EXPECT_LT(std::chrono::steady_clock::now() - before, 9s);
    ::close(fd);
}

TEST_F(PrintService, ListensOnLoopbackOnlyAndRefusesOtherAddressesWithoutTokens)
{
    startService();
    const auto listening = runCommand("ss -Hltn 'sport = :" + std::to_string(service.port) + "'").output;
    const std::string port = ":" + std::to_string(service.port);
    EXPECT_EQ(listening.find("0.0.0.0" + port), std::string::npos) << listening;
    EXPECT_EQ(listening.find("*" + port), std::string::npos) << listening;
    EXPECT_EQ(listening.find("[::]" + port), std::string::npos) << listening;
    EXPECT_NE(listening.find("127.0.0.1" + port), std::string::npos) << listening;
    // Send-Q of a listening socket is its backlog: twenty clients connecting
    // at once must not overflow it (a dropped handshake ended in a request
    // timed out unanswered).
    std::istringstream columns(listening);
    std::string state, waiting, backlog;
    columns >> state >> waiting >> backlog;
    EXPECT_GE(std::atoi(backlog.c_str()), 128) << listening;
    EXPECT_EQ(service.stop(SIGTERM), 0);

    ASSERT_EQ(tool("token revoke shop").status, 0);
    ASSERT_EQ(tool("token revoke limited").status, 0);
    const auto refused = runCommand(std::string(ORDAVEL_CLI) + " serve --port 0 --listen 0.0.0.0");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("needs at least one token"), std::string::npos) << refused.output;
}

// Killed while a 200-record job is being printed and started again, the
// service prints every record exactly once: what reached CUPS before the
// kill is found there through the journal and not sent again.
TEST_F(PrintService, KilledMidJobAndRestartedPrintsEveryRecordExactlyOnce)
{
    startService();
    const Reply sent = post("/v1/jobs", shop, job(records(1, 200), "big"));
    ASSERT_EQ(sent.status, 201) << sent.raw;
    const std::int64_t id = sent.body["id"];
    // Kill once part of the job is in CUPS and part is not.
    EXPECT_TRUE(eventually([&] {
        const json view = get("/v1/jobs/" + std::to_string(id), shop).body;
        int out = 0;
        for (const auto& r : view.value("records", json::array()))
            out += r["cupsJob"].is_null() ? 0 : 1;
        return out > 0;
    }, 60s));
    EXPECT_EQ(service.stop(SIGKILL), -SIGKILL);

    startService();
    const json done = waitFor(id, "printed", 120s);
    EXPECT_EQ(done["state"], "printed") << done.dump();
    EXPECT_EQ(post("/v1/jobs", shop, job(records(1, 200), "big")).body["id"], id) << "the key survives the restart";
    std::map<std::string, int> expected;
    for (int r = 1; r <= 200; ++r)
        expected["R" + std::to_string(r)] = 1;
    EXPECT_EQ(printed(), expected);
}

// A SIGTERM that comes right after the service says it listens stops it
// too: no listener is left running with nothing to stop it.
TEST_F(PrintService, StopsOnSigtermRightAfterItStartsListening)
{
    for (int round = 0; round < 10; ++round) {
        startService();
        const pid_t pid = service.pid;
        ::kill(pid, SIGTERM);
        int status = 0;
        const bool exited = eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10s);
        if (!exited)
            ::kill(pid, SIGKILL);
        ASSERT_TRUE(exited) << "round " << round << ": still running 10 s after SIGTERM";
        service.pid = 0;
        service.stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
}

// SIGTERM stops the service with status 0 and keeps what waits: a job
// accepted while the printer was stopped prints after the next start.
TEST_F(PrintService, StopsOnSigtermKeepingTheQueue)
{
    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    startService();
    const Reply sent = post("/v1/jobs", shop, job(records(1, 2)));
    ASSERT_EQ(sent.status, 201) << sent.raw;
    EXPECT_EQ(service.stop(SIGTERM), 0);
    ASSERT_EQ(runCommand("cupsenable " + queue.name).status, 0);
    startService();
    EXPECT_EQ(waitFor(sent.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 1}}));
}

// A queued job that another process took meanwhile (a journal command
// resuming it) is that process's to print: the service leaves it alone and
// goes on with the next one.
TEST_F(PrintService, AJobAnotherProcessClaimedIsNotPrintedByTheService)
{
    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    startService();
    const Reply taken = post("/v1/jobs", shop, job(records(1, 2)));
    ASSERT_EQ(taken.status, 201) << taken.raw;
    {
        auto journal = Journal::open(Journal::defaultPath()).journal;
        ASSERT_TRUE(journal);
        const auto claimed = journal->claimJob(taken.body["id"].get<int>(), "pid " + std::to_string(::getpid()) + "@here");
        ASSERT_TRUE(claimed.ok()) << claimed.error;
        ASSERT_TRUE(claimed.value);
    }
    ASSERT_EQ(runCommand("cupsenable " + queue.name).status, 0);
    const Reply next = post("/v1/jobs", shop, job(records(3, 3)));
    ASSERT_EQ(next.status, 201) << next.raw;
    EXPECT_EQ(waitFor(next.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R3", 1}}));
}

// The scheduler remembers finished jobs, titled by journal job and record
// numbers; a journal begun anew numbers its jobs from 1 again. An old job of
// the same title is not taken for this journal's after a restart: the
// records print.
TEST_F(PrintService, AnOlderSchedulerJobOfTheSameTitleIsNotTakenForThisJournals)
{
    const fs::path page = scratch.path() / "old.pdf";
    ASSERT_EQ(tool("render " + shellQuoted(templates / "card.oxf") + " -o " + shellQuoted(page)).status, 0);
    ASSERT_EQ(runCommand("lp -d " + queue.name + " -t 'ordavel-service 1:1-2' " + shellQuoted(page)).status, 0);
    ASSERT_TRUE(eventually([&] { return runCommand("lpstat -o " + queue.name).output.empty(); }, 60s));
    std::this_thread::sleep_for(2s); // an earlier second than the new job's
    std::error_code ignored;
    fs::remove_all(queue.out, ignored);
    fs::create_directories(queue.out);
    ::chmod(queue.out.c_str(), 0777);

    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    startService();
    const Reply sent = post("/v1/jobs", shop, job(records(1, 2)));
    ASSERT_EQ(sent.status, 201) << sent.raw;
    ASSERT_EQ(sent.body["id"], 1);
    EXPECT_EQ(service.stop(SIGTERM), 0);
    ASSERT_EQ(runCommand("cupsenable " + queue.name).status, 0);
    startService();
    EXPECT_EQ(waitFor(sent.body["id"], "printed")["state"], "printed");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 1}}));
}

// The demo page in real headless Chromium: served from an origin the token
// names, it prints two records through client.js; the same page from another
// origin cannot even load the module, and prints nothing.
TEST_F(PrintService, TheDemoPagePrintsFromAnAllowedOriginAndIsRefusedFromAnother)
{
    ASSERT_TRUE(programsInstalled("chromium; node"));
    httplib::Server pages;
    pages.set_mount_point("/", std::string(ORDAVEL_SOURCE_DIR) + "/data/web");
    const int pagePort = pages.bind_to_any_port("127.0.0.1");
    ASSERT_GT(pagePort, 0);
    std::thread serving([&] { pages.listen_after_bind(); });
    const std::string web = addToken("web --origin http://127.0.0.1:" + std::to_string(pagePort));
    startService();

    const auto open = [&](const std::string& host, const std::string& expression) {
        const std::string url = "http://" + host + ":" + std::to_string(pagePort) + "/index.html?service=http://127.0.0.1:"
            + std::to_string(service.port) + "&token=" + web;
        const auto run = runCommand("node " + shellQuoted(std::string(ORDAVEL_SOURCE_DIR) + "/tests/service/browser_eval.mjs")
                                    + " " + shellQuoted(url) + " " + shellQuoted(expression) + " 60000");
        const std::string line = run.output.substr(run.output.rfind('{') == std::string::npos ? 0 : run.output.find('{'));
        return json::parse(line, nullptr, false);
    };
    // This test's queue chosen on the page: the scheduler's default may be
    // another test's queue, made while this one runs.
    const json allowed = open("127.0.0.1", R"(demo.ready.then(() => { document.getElementById("printer").value = ")"
                                               + queue.name + R"("; return demo.print([{"单号": "B1"}, {"单号": "B2"}]); }))"
                                               R"(.then((job) => job.state + " " + job.records.length))");
    EXPECT_EQ(allowed.value("value", allowed.dump()), "printed 2");
    const json refused = open("localhost", R"(demo.ready.then(() => "connected", (e) => "refused"))");
    EXPECT_EQ(refused.value("value", refused.dump()), "refused");

    pages.stop();
    serving.join();
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"B1", 1}, {"B2", 1}}));
}

} // namespace
} // namespace ordavel::test
