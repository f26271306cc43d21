// The answers the HTTP library gives on its own (no such path, a method a
// path does not take, a body over 16 MB) carry the same CORS headers as the
// handlers' answers: an allowed origin is named back, so that a page reads
// the refusal instead of taking it for a refused origin; any other origin
// is never named.
#include "service/page_server.h"
#include "service/service_fixture.h"

namespace ordavel::test {
namespace {

class ServiceCors : public ServiceTest {
protected:
    ServiceCors() : ServiceTest("ordavel-cors") {}

    void SetUp() override
    {
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        shop = addToken("shop --origin http://shop.test");
        ASSERT_GT(pages.port, 0);
        page = addToken("page --origin http://127.0.0.1:" + std::to_string(pages.port));
        startService();
    }

    PageServer pages;
    std::string shop;
    std::string page;
};

TEST_F(ServiceCors, TheLibrarysOwnRefusalsNameOnlyAnAllowedOrigin)
{
    struct Row {
        const char* method;
        const char* path;
        std::string body;
        int status;
        const char* code;
    };
    const Row rows[] = {
        {"GET", "/v1/nowhere", {}, 404, "not-found"},
        {"GET", "/v1/jobs/1/cancel", {}, 405, "method-not-allowed"},
        {"POST", "/v1/jobs", std::string(16 * 1024 * 1024 + 1, ' '), 413, "too-large"},
    };
    for (const Row& row : rows) {
        const Reply allowed = call(service.port, row.method, row.path, shop, row.body, {{"Origin", "http://shop.test"}});
        EXPECT_EQ(allowed.status, row.status) << row.path << " " << allowed.raw;
        EXPECT_EQ(allowed.code(), row.code) << row.path;
        EXPECT_EQ(allowed.header("Access-Control-Allow-Origin"), "http://shop.test") << row.path;
        EXPECT_EQ(allowed.header("Vary"), "Origin") << row.path;

        const Reply foreign = call(service.port, row.method, row.path, shop, row.body, {{"Origin", "http://evil.test"}});
        EXPECT_EQ(foreign.status, row.status) << row.path;
        EXPECT_EQ(foreign.code(), row.code) << row.path;
        EXPECT_FALSE(foreign.headers.count("Access-Control-Allow-Origin")) << row.path;

        const Reply plain = call(service.port, row.method, row.path, shop, row.body);
        EXPECT_EQ(plain.status, row.status) << row.path;
        EXPECT_EQ(plain.raw, allowed.raw) << row.path << ": the same body with or without an origin";
        EXPECT_FALSE(plain.headers.count("Access-Control-Allow-Origin")) << row.path;
        EXPECT_FALSE(plain.headers.count("Vary")) << row.path;
    }
}

} // namespace
} // namespace ordavel::test

namespace ordavel::test {
namespace {

// In a browser, client.js reports the library's refusals by their own code:
// a job over 16 MB is "too-large", not a refused origin.
TEST_F(ServiceCors, ABrowserPageReadsTheLibrarysRefusalsByTheirCode)
{
    if (runCommand("command -v chromium && command -v node").status != 0)
        GTEST_SKIP() << "needs chromium and node";
    const std::string root = "http://127.0.0.1:" + std::to_string(service.port);
    const std::string expression = R"(import(")" + root + R"(/v1/client.js").then(async ({ connect }) => {
        const ordavel = await connect({ token: ")" + page + R"(" });
        const said = (e) => e.status + " " + e.code;
        const huge = await ordavel.request("POST", "jobs", { template: "card", records: [{ 单号: "x".repeat(16 << 20) }] })
            .then(() => "accepted", said);
        const nowhere = await ordavel.request("GET", "nowhere").then(() => "answered", said);
        return huge + " | " + nowhere;
    }))";
    const auto run = runCommand("node " + shellQuoted(std::string(ORDAVEL_SOURCE_DIR) + "/tests/service/browser_eval.mjs")
                                + " " + shellQuoted("http://127.0.0.1:" + std::to_string(pages.port) + "/index.html")
                                + " " + shellQuoted(expression) + " 60000");
    const auto brace = run.output.find('{');
    const json result = json::parse(brace == std::string::npos ? std::string() : run.output.substr(brace), nullptr, false);
    EXPECT_EQ(result.value("value", result.dump()), "413 too-large | 404 not-found") << run.output;
}

} // namespace
} // namespace ordavel::test
