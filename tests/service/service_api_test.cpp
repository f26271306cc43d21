// The service's API at its edges, against `ordavel-cli serve` and a private
// cups-pdf queue: keys that repeat only the same job, reasons that say what
// holds a job now, the limits and refusals of each route, and the OpenAPI
// description checked by a real validator against the routes the service has.
#include "service_fixture.h"
#include "support/node_modules.h"

#include "service/service.h"

#include <iterator>
#include <set>
#include <sstream>

namespace ordavel::test {
namespace {

class ServiceApi : public ServiceTest {
protected:
    ServiceApi() : ServiceTest("ordavel-api") {}

    void SetUp() override
    {
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        for (const char* name : {"card", "other"})
            ASSERT_NO_FATAL_FAILURE(addCardTemplate(name));
        shop = addToken("shop");
    }

    void TearDown() override
    {
        ServiceTest::TearDown();
        runCommand("lpadmin -p " + queue.name + " -R job-hold-until-default 2>&1");
    }

    Reply get(const std::string& path) { return call(service.port, "GET", path, shop); }
    Reply post(const std::string& path, const json& body) { return call(service.port, "POST", path, shop, body.dump()); }
    json view(std::int64_t id) { return get("/v1/jobs/" + std::to_string(id)).body; }

    json job(const json& recs, const std::string& key = {}) const
    {
        json body = {{"template", "card"}, {"printer", queue.name}, {"records", recs}};
        if (!key.empty())
            body["key"] = key;
        return body;
    }

    // Waits until job `id` gives `reason`; its last view.
    json waitForReason(std::int64_t id, const std::function<bool(const std::string&)>& wanted)
    {
        json last;
        eventually([&] {
            last = view(id);
            return wanted(last.value("reason", "?"));
        }, 30s);
        return last;
    }

    bool setEnabled(bool enabled)
    {
        const bool done = runCommand((enabled ? "cupsenable " : "cupsdisable ") + queue.name).status == 0;
        std::this_thread::sleep_for(1100ms); // the service looks at the printers once a second
        return done;
    }

    std::string shop;
};

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string percentEncoded(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == ':') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::set<std::string> keysOf(const json& object)
{
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items())
        keys.insert(key);
    return keys;
}

TEST_F(ServiceApi, AKeyRepeatsOnlyTheSameJobAndEveryAnswerIsTheWholeJob)
{
    startService();
    const Reply first = post("/v1/jobs", job(records(1, 2), "order-1"));
    ASSERT_EQ(first.status, 201) << first.raw;
    const std::int64_t id = first.body["id"];
    const json shown = view(id);
    EXPECT_EQ(keysOf(first.body), keysOf(shown)) << first.raw << "\n" << shown.dump();
    EXPECT_EQ(first.body["key"], "order-1");
    EXPECT_EQ(first.body["template"], "card");
    EXPECT_EQ(first.body["records"].size(), 2u);

    // The same job again, an unused column and the order of keys aside: the first job.
    json same = job(records(1, 2), "order-1");
    same["records"][0]["备注"] = "not printed";
    same["copies"] = 1;
    const Reply again = post("/v1/jobs", same);
    EXPECT_EQ(again.status, 200) << again.raw;
    EXPECT_EQ(again.body["id"], id);
    EXPECT_EQ(keysOf(again.body), keysOf(first.body));

    // Any difference in what is printed, where or how often is a conflict naming the first job.
    json otherRecords = job(records(1, 3), "order-1");
    json otherValue = job(records(1, 2), "order-1");
    otherValue["records"][1]["单号"] = "R9";
    json otherTemplate = job(records(1, 2), "order-1");
    otherTemplate["template"] = "other";
    json otherCopies = job(records(1, 2), "order-1");
    otherCopies["copies"] = 2;
    json otherPrinter = job(records(1, 2), "order-1");
    otherPrinter["printer"] = "nowhere";
    for (const json& body : {otherRecords, otherValue, otherTemplate, otherCopies, otherPrinter}) {
        const Reply conflict = post("/v1/jobs", body);
        EXPECT_EQ(conflict.status, 409) << body.dump() << " " << conflict.raw;
        EXPECT_EQ(conflict.code(), "key-conflict");
        EXPECT_EQ(conflict.body["error"]["job"], id) << conflict.raw;
    }

    // A reprint's key: the same records again repeat it, others and a new job conflict.
    const Reply reprint = post("/v1/jobs/" + std::to_string(id) + "/reprint", {{"records", {2}}, {"key", "again-1"}});
    ASSERT_EQ(reprint.status, 201) << reprint.raw;
    EXPECT_EQ(reprint.body["repeats"], id);
    EXPECT_EQ(keysOf(reprint.body), keysOf(view(reprint.body["id"])));
    const Reply reprintAgain = post("/v1/jobs/" + std::to_string(id) + "/reprint", {{"records", {2}}, {"key", "again-1"}});
    EXPECT_EQ(reprintAgain.status, 200) << reprintAgain.raw;
    EXPECT_EQ(reprintAgain.body["id"], reprint.body["id"]);
    EXPECT_EQ(post("/v1/jobs/" + std::to_string(id) + "/reprint", {{"records", {1}}, {"key", "again-1"}}).code(),
              "key-conflict");
    EXPECT_EQ(post("/v1/jobs", job(json::array({{{"单号", "R2"}}}), "again-1")).code(), "key-conflict");

    // Nothing a conflict answered was printed.
    EXPECT_TRUE(eventually([&] { return view(reprint.body["id"])["state"] == "printed"; }, 60s));
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 2}}));
}

// Two different orders sent at once under one key: one is printed, every
// answer names it, and the other order is refused as a conflict.
TEST_F(ServiceApi, OneKeySentAtOnceWithTwoOrdersPrintsOnlyTheOneRecordedFirst)
{
    startService();
    constexpr int kCallers = 8;
    std::vector<Reply> replies(kCallers);
    std::vector<std::thread> callers;
    for (int i = 0; i < kCallers; ++i)
        callers.emplace_back([&, i] { replies[i] = post("/v1/jobs", job(i % 2 == 0 ? records(1, 1) : records(2, 2), "race")); });
    for (auto& caller : callers)
        caller.join();
    std::int64_t winner = 0;
    int created = 0;
    for (const Reply& reply : replies)
        if (reply.status == 201) {
            ++created;
            winner = reply.body["id"];
        }
    ASSERT_EQ(created, 1);
    int repeats = 0, conflicts = 0;
    for (int i = 0; i < kCallers; ++i) {
        const Reply& reply = replies[static_cast<std::size_t>(i)];
        if (reply.status == 200) {
            ++repeats;
            EXPECT_EQ(reply.body["id"], winner);
        } else if (reply.status == 409) {
            ++conflicts;
            EXPECT_EQ(reply.body["error"]["job"], winner) << reply.raw;
        } else {
            EXPECT_EQ(reply.status, 201) << reply.raw;
        }
    }
    EXPECT_EQ(repeats, kCallers / 2 - 1) << "the same order again";
    EXPECT_EQ(conflicts, kCallers / 2) << "the other order";
    EXPECT_TRUE(eventually([&] { return view(winner)["state"] == "printed"; }, 60s));
    const std::map<std::string, int> pages = printed();
    EXPECT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages == (std::map<std::string, int>{{"R1", 1}}) || pages == (std::map<std::string, int>{{"R2", 1}}));
}

// A job's reason says what holds it back now: the stopped printer until it
// is enabled, its CUPS job held until released, the same after a restart.
TEST_F(ServiceApi, AReasonTellsWhatHoldsTheJobNowAcrossARestart)
{
    startService();
    ASSERT_TRUE(setEnabled(false));
    const Reply waiting = post("/v1/jobs", job(records(1, 1)));
    ASSERT_EQ(waiting.status, 201) << waiting.raw;
    const std::int64_t first = waiting.body["id"];
    const auto paused = [](const std::string& reason) { return startsWith(reason, "打印机已暂停"); };
    EXPECT_TRUE(paused(waitForReason(first, paused)["reason"])) << view(first).dump();

    // Enabled again: the reason goes as the job prints.
    ASSERT_TRUE(setEnabled(true));
    const json printedView = waitForReason(first, [](const std::string& r) { return r.empty(); });
    EXPECT_EQ(printedView["reason"], "") << printedView.dump();
    // Printed before CUPS is told to hold new jobs: sent after that, it would be held too.
    EXPECT_TRUE(eventually([&] { return view(first)["state"] == "printed"; }, 60s)) << view(first).dump();

    // Jobs CUPS holds until released: the reason says so, not the stop before.
    const auto held = runCommand("lpadmin -p " + queue.name + " -o job-hold-until-default=indefinite 2>&1");
    ASSERT_EQ(held.status, 0) << held.output;
    ASSERT_TRUE(setEnabled(false));
    const Reply holding = post("/v1/jobs", job(records(2, 2)));
    ASSERT_EQ(holding.status, 201) << holding.raw;
    const std::int64_t second = holding.body["id"];
    EXPECT_TRUE(paused(waitForReason(second, paused)["reason"]));
    ASSERT_TRUE(setEnabled(true));
    const auto isHeld = [](const std::string& reason) { return reason == "打印任务在打印队列中被挂起"; };
    json heldView = waitForReason(second, isHeld);
    ASSERT_EQ(heldView["state"], "printing") << heldView.dump();
    EXPECT_TRUE(isHeld(heldView["reason"])) << heldView.dump();

    // Across a restart the job still gives the present reason.
    EXPECT_EQ(service.stop(SIGTERM), 0);
    startService();
    heldView = view(second);
    EXPECT_FALSE(paused(heldView["reason"])) << heldView.dump();
    EXPECT_TRUE(isHeld(waitForReason(second, isHeld)["reason"])) << view(second).dump();

    // Released, it prints and nothing holds it.
    const int cupsJob = heldView["records"][0]["cupsJob"];
    const auto released = runCommand("lp -i " + std::to_string(cupsJob) + " -H resume 2>&1");
    ASSERT_EQ(released.status, 0) << released.output;
    const json done = waitForReason(second, [](const std::string& r) { return r.empty(); });
    EXPECT_EQ(done["reason"], "") << done.dump();
    EXPECT_TRUE(eventually([&] { return view(second)["state"] == "printed"; }, 60s)) << view(second).dump();

    // Stopped while the service is down, enabled before it starts: the kept reason goes.
    ASSERT_TRUE(runCommand("lpadmin -p " + queue.name + " -R job-hold-until-default").status == 0);
    ASSERT_TRUE(setEnabled(false));
    const Reply third = post("/v1/jobs", job(records(3, 3)));
    ASSERT_EQ(third.status, 201) << third.raw;
    EXPECT_TRUE(paused(waitForReason(third.body["id"], paused)["reason"]));
    EXPECT_EQ(service.stop(SIGTERM), 0);
    ASSERT_TRUE(setEnabled(true));
    startService();
    EXPECT_EQ(waitForReason(third.body["id"], [](const std::string& r) { return r.empty(); })["reason"], "");
    EXPECT_EQ(printed(), (std::map<std::string, int>{{"R1", 1}, {"R2", 1}, {"R3", 1}}));
}

TEST_F(ServiceApi, EachRouteRefusesWhatItCannotDoWithItsOwnCode)
{
    startService({"--max-waiting", "5"});
    httplib::Client client("127.0.0.1", service.port);
    client.set_read_timeout(20, 0);
    const httplib::Headers auth{{"Authorization", "Bearer " + shop}};

    // A job that could never wait in full is too large, not a full queue.
    const Reply tooLarge = post("/v1/jobs", job(records(1, 6)));
    EXPECT_EQ(tooLarge.status, 413) << tooLarge.raw;
    EXPECT_EQ(tooLarge.code(), "job-too-large");
    EXPECT_EQ(tooLarge.body["error"]["limit"], 5);
    ASSERT_TRUE(setEnabled(false));
    const Reply five = post("/v1/jobs", job(records(1, 5)));
    ASSERT_EQ(five.status, 201) << five.raw;
    EXPECT_EQ(post("/v1/jobs", job(records(6, 6))).code(), "queue-full");
    EXPECT_EQ(post("/v1/jobs/" + std::to_string(five.body["id"].get<int>()) + "/reprint", json::object()).code(),
              "queue-full");
    EXPECT_EQ(post("/v1/jobs", job(records(1, 6))).code(), "job-too-large");

    // A known path with a method it does not answer: 405 and what it does answer.
    const auto allowed = [&](const httplib::Result& result) {
        return result ? std::to_string(result->status) + " " + result->get_header_value("Allow") : std::string("none");
    };
    EXPECT_EQ(allowed(client.Put("/v1/jobs", auth, "{}", "application/json")), "405 POST, GET, HEAD, OPTIONS");
    EXPECT_EQ(allowed(client.Delete("/v1/jobs/1", auth)), "405 GET, HEAD, OPTIONS");
    EXPECT_EQ(allowed(client.Get("/v1/preview", auth)), "405 POST, OPTIONS");
    EXPECT_EQ(allowed(client.Post("/v1/info", auth, "", "application/json")), "405 GET, HEAD, OPTIONS");
    EXPECT_EQ(allowed(client.Get("/v1/jobs/1/cancel", auth)), "405 POST, OPTIONS");
    const auto refused = client.Patch("/v1/jobs/7/reprint", auth, "{}", "application/json");
    ASSERT_TRUE(refused);
    EXPECT_EQ(json::parse(refused->body, nullptr, false)["error"]["code"], "method-not-allowed");
    EXPECT_EQ(allowed(client.Get("/v1/nothing", auth)), "404 ") << "an unknown path stays unknown";
    EXPECT_EQ(allowed(client.Delete("/v1/jobs/x", auth)), "404 ");

    // A body key the API does not know is named, not ignored.
    json misspelt = job(records(1, 1));
    misspelt["copys"] = 2;
    const Reply unknown = post("/v1/jobs", misspelt);
    EXPECT_EQ(unknown.status, 400);
    EXPECT_EQ(unknown.code(), "unknown-field");
    EXPECT_EQ(unknown.body["error"]["field"], "copys");
    EXPECT_EQ(unknown.body["error"]["position"], "/copys");
    EXPECT_EQ(post("/v1/preview", {{"template", "card"}, {"records", json::array()}}).body["error"]["field"], "records");
    const std::string reprint = "/v1/jobs/" + std::to_string(five.body["id"].get<int>()) + "/reprint";
    EXPECT_EQ(post(reprint, {{"record", {1}}}).body["error"]["field"], "record");

    // "since": ISO 8601 with or without a zone, or seconds since 1970; nothing else.
    for (const char* bad : {"yesterday", "2024-13-01", "2023-02-29", "2024-05-01T24:00:00Z", "2024-05-01T08:00+0800x",
                            "2024-05-01T08", "1714521600.5", "-5", "2024-5-1", ""}) {
        const Reply answer = get(std::string("/v1/jobs?since=") + percentEncoded(bad));
        EXPECT_EQ(answer.status, 400) << bad;
        EXPECT_EQ(answer.code(), "bad-since") << bad;
    }
    const std::int64_t id = five.body["id"];
    std::tm created{};
    ASSERT_NE(strptime(view(id)["created"].get<std::string>().c_str(), "%Y-%m-%dT%H:%M:%SZ", &created), nullptr);
    const std::time_t at = timegm(&created);
    const auto inEast8 = [](std::time_t when) {
        when += 8 * 3600;
        std::tm local{};
        gmtime_r(&when, &local);
        char text[40];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+08:00", &local);
        return std::string(text);
    };
    const auto listed = [&](const std::string& since) {
        const Reply answer = get("/v1/jobs?since=" + percentEncoded(since));
        std::set<std::int64_t> ids;
        for (const auto& j : answer.body)
            ids.insert(j["id"].get<std::int64_t>());
        return answer.status == 200 && ids.count(id) == 1;
    };
    EXPECT_TRUE(listed(inEast8(at))) << inEast8(at);
    EXPECT_FALSE(listed(inEast8(at + 1))) << inEast8(at + 1);
    EXPECT_TRUE(listed(std::to_string(at)));
    EXPECT_FALSE(listed(std::to_string(at + 1)));
    EXPECT_TRUE(listed("2000-01-01"));
    EXPECT_TRUE(listed("1969-12-31T23:00:00.25z"));
    EXPECT_FALSE(listed("2999-01-01 00:00"));
    ASSERT_TRUE(setEnabled(true));
}

// Runs the validator of tests/service/openapi (installed into the build
// folder from its lock file when missing or out of date) on `document`,
// with `answers` to check against its schemas.
RunResult validateDescription(const fs::path& document, const fs::path& answers)
{
    const fs::path source = fs::path(ORDAVEL_SOURCE_DIR) / "tests" / "service" / "openapi";
    const test::NodeModules modules = test::installedNodeModules(source, "openapi-validator");
    if (!modules.error.empty())
        return {1, modules.error};
    return runCommand("node " + shellQuoted(source / "validate.mjs") + " " + shellQuoted(modules.folder) + " "
                      + shellQuoted(document) + " " + shellQuoted(answers) + " 2>&1");
}

// The served description is the installed file, valid for a real OpenAPI
// validator, and describes exactly the routes of the service's route table;
// each described route is answered, and the answers match its schemas.
TEST_F(ServiceApi, TheOpenApiDescriptionIsValidAndDescribesEveryRouteTheServiceAnswers)
{
    startService();
    const Reply served = call(service.port, "GET", "/v1/openapi.json", "");
    ASSERT_EQ(served.status, 200) << served.raw;
    EXPECT_EQ(served.body, json::parse(test::fileBytes(fs::path(ORDAVEL_SOURCE_DIR) / "data" / "api" / "openapi.json"), nullptr, false))
        << "served as installed";
    EXPECT_EQ(served.body["info"]["version"], "1");
    const fs::path document = scratch.path() / "openapi.json";
    std::ofstream(document) << served.raw;

    // Each described route answers, with a job to name where a route needs one.
    std::set<std::string> described;
    for (const auto& [path, item] : served.body["paths"].items())
        for (const auto& [method, operation] : item.items())
            if (method != "parameters")
                described.insert(method + " " + path);
    const Reply sent = post("/v1/jobs", job(records(1, 1)));
    ASSERT_EQ(sent.status, 201) << sent.raw;
    const std::string id = std::to_string(sent.body["id"].get<std::int64_t>());
    httplib::Client client("127.0.0.1", service.port);
    client.set_read_timeout(20, 0);
    const httplib::Headers auth{{"Authorization", "Bearer " + shop}};
    // What each answer is, by the schemas the description gives it.
    const std::map<std::string, std::string> schemaOf{
        {"get /v1/info", "Info"},       {"get /v1/printers", "Printer"},  {"get /v1/templates", "Template"},
        {"post /v1/jobs", "Job"},       {"get /v1/jobs", "Job"},          {"get /v1/jobs/{id}", "Job"},
        {"post /v1/jobs/{id}/cancel", "Job"}, {"post /v1/jobs/{id}/reprint", "Job"}};
    json answers = json::object();
    for (const std::string& route : described) {
        const std::string method = route.substr(0, route.find(' '));
        std::string path = route.substr(route.find(' ') + 1);
        if (const auto at = path.find("{id}"); at != std::string::npos)
            path.replace(at, 4, id);
        int status = 0;
        std::string body;
        if (path == "/v1/events") {
            // A stream: its first event is enough.
            const auto result = client.Get(path, auth, [&](const char* data, std::size_t size) {
                body.append(data, size);
                return false;
            });
            status = result ? result->status : (startsWith(body, "data: ") ? 200 : 0);
        } else {
            const json request = path == "/v1/preview" ? json{{"template", "card"}, {"record", {{"单号", "P"}}}}
                : path == "/v1/jobs"                   ? job(records(2, 2))
                                                       : json::object();
            const auto result = method == "get" ? client.Get(path, auth)
                                                : client.Post(path, auth, request.dump(), "application/json");
            status = result ? result->status : 0;
            body = result ? result->body : "";
        }
        EXPECT_TRUE(status == 200 || status == 201) << route << " answered " << status << " " << body.substr(0, 200);
        if (const auto schema = schemaOf.find(route); schema != schemaOf.end()) {
            const json answer = json::parse(body, nullptr, false);
            for (const json& one : answer.is_array() ? answer : json::array({answer}))
                answers[schema->second].push_back(one);
        }
    }
    // Refusals answer as the description's errors say.
    json misspelt = job(records(1, 1));
    misspelt["copys"] = 1;
    for (const Reply& refused : {post("/v1/jobs", misspelt), get("/v1/jobs?since=soon"), get("/v1/jobs/999999"),
                                 call(service.port, "POST", "/v1/info", shop, "{}")})
        answers["Error"].push_back(refused.body);
    const fs::path answersFile = scratch.path() / "answers.json";
    std::ofstream(answersFile) << answers.dump();

    const auto checked = validateDescription(document, answersFile);
    ASSERT_EQ(checked.status, 0) << checked.output;
    EXPECT_NE(checked.output.find("valid 3.1"), std::string::npos) << checked.output;
    std::istringstream lines(checked.output);
    std::set<std::string> validated;
    std::string line;
    while (std::getline(lines, line))
        if (!startsWith(line, "valid "))
            validated.insert(line);

    std::set<std::string> routes;
    for (const auto& route : ordavel::service::Service::routes())
        routes.insert(route.method + " " + route.path);
    EXPECT_EQ(validated, routes) << "every route described, every description a route";
    EXPECT_GE(answers["Job"].size(), 5u) << answers.dump();
}

} // namespace
} // namespace ordavel::test
