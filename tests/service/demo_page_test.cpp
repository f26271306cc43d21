// The demo page and client.js in real headless Chromium against `ordavel-cli
// serve` and a cups-pdf queue: a page whose origin the token does not list
// learns why and how to allow it; a page it lists prints a multi-line box.
#include "page_server.h"
#include "service_fixture.h"

#include <sstream>

namespace ordavel::test {
namespace {

// The text on the page of `pdf`, read by OCR in the first of the four ways
// the page can be turned in which it shows `word`; "" when none does. The
// queue's PDF was drawn again by CUPS and cups-pdf through PostScript, which
// keeps the glyphs but not which characters they are, and a paper the queue
// does not know may have turned the form on its sheet.
std::string readPage(const std::string& pdf, const fs::path& folder, const std::string& word)
{
    const fs::path picture = folder / "page";
    runCommand("pdftoppm -r 200 -gray -singlefile " + shellQuoted(pdf) + " " + shellQuoted(picture));
    std::ifstream in(picture.string() + ".pgm", std::ios::binary);
    std::string magic;
    int width = 0, height = 0, depth = 0;
    in >> magic >> width >> height >> depth;
    in.get();
    std::vector<char> pixels(static_cast<std::size_t>(width) * height);
    if (magic != "P5" || depth != 255 || !in.read(pixels.data(), static_cast<std::streamsize>(pixels.size())))
        return {};
    for (int quarter = 0; quarter < 4; ++quarter) {
        const bool across = quarter % 2 == 1;
        const int w = across ? height : width, h = across ? width : height;
        std::vector<char> turned(pixels.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Turned clockwise by `quarter` quarters.
                const int sx = quarter == 0 ? x : quarter == 1 ? y : quarter == 2 ? width - 1 - x : width - 1 - y;
                const int sy = quarter == 0 ? y : quarter == 1 ? height - 1 - x : quarter == 2 ? height - 1 - y : x;
                turned[static_cast<std::size_t>(y) * w + x] = pixels[static_cast<std::size_t>(sy) * width + sx];
            }
        const fs::path turnedPicture = folder / "turned.pgm";
        std::ofstream(turnedPicture, std::ios::binary) << "P5\n" << w << " " << h << "\n255\n"
                                                       << std::string(turned.begin(), turned.end());
        const std::string text = runCommand("{ tesseract " + shellQuoted(turnedPicture) + " - 2>/dev/null; }").output;
        if (text.find(word) != std::string::npos)
            return text;
    }
    return {};
}

class DemoPage : public ServiceTest {
protected:
    DemoPage() : ServiceTest("ordavel-demo") {}

    void SetUp() override
    {
        if (runCommand("command -v chromium && command -v node && command -v tesseract").status != 0)
            GTEST_SKIP() << "needs chromium, node and tesseract";
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        // A waybill: the name on one line, the address in a multi-line text
        // box, a note in a wrapping label.
        const fs::path waybill = scratch.path() / "waybill.json";
        std::ofstream(waybill) << R"({"pageWidth": 16, "pageHeight": 8, "boxes": [)"
                                  R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 1, "pW": 10, "pH": 0.8, "Font": "DejaVu Sans", "FontSize": 14, "wValue": "${收件人}"},)"
                                  R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 3, "pW": 12, "pH": 3, "MLine": true, "Font": "DejaVu Sans", "FontSize": 14,)"
                                  R"( "wValue": "${地址}"},)"
                                  R"({"cType": 2, "pPewW": false, "pX": 1, "pY": 6.5, "pW": 12, "pH": 1, "mLine": true,)"
                                  R"( "wValue": "备注：${备注}"}]})";
        const auto built = tool("build " + shellQuoted(waybill) + " -o " + shellQuoted(templates / "waybill.oxf"));
        ASSERT_EQ(built.status, 0) << built.output;
        ASSERT_GT(pages.port, 0);
        web = addToken("web --origin " + pageOrigin("127.0.0.1"));
        startService();
    }

    std::string pageOrigin(const std::string& host) const { return "http://" + host + ":" + std::to_string(pages.port); }

    // Opens the demo page from `host` with the service's address and the
    // token in its query; what `expression` resolves to there.
    json open(const std::string& host, const std::string& expression)
    {
        const std::string url = pageOrigin(host) + "/index.html?service=http://127.0.0.1:" + std::to_string(service.port)
            + "&token=" + web;
        const auto run = runCommand("node " + shellQuoted(std::string(ORDAVEL_SOURCE_DIR) + "/tests/service/browser_eval.mjs")
                                    + " " + shellQuoted(url) + " " + shellQuoted(expression) + " 60000");
        const auto brace = run.output.find('{');
        return json::parse(brace == std::string::npos ? std::string() : run.output.substr(brace), nullptr, false);
    }

    // The page's log once connecting has settled, or "connected".
    json connectLog(const std::string& host)
    {
        return open(host, R"(demo.ready.then(() => "connected", () => document.getElementById("log").innerText))");
    }

    PageServer pages;
    std::string web;
};

// The module is the same public file for every origin; the calls it makes
// are still refused to an origin the token does not list, unreadably.
TEST_F(DemoPage, ServesTheClientModuleToAnyOriginButNotItsCalls)
{
    const Reply script = call(service.port, "GET", "/v1/client.js", "", {}, {{"Origin", "http://elsewhere.test"}});
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.header("Access-Control-Allow-Origin"), "*");
    EXPECT_NE(script.raw.find("export async function connect"), std::string::npos);
    EXPECT_EQ(script.raw.find(web), std::string::npos);

    const Reply refused = call(service.port, "GET", "/v1/printers", web, {}, {{"Origin", "http://elsewhere.test"}});
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.header("Access-Control-Allow-Origin"), "");
    const Reply preflight = call(service.port, "OPTIONS", "/v1/printers", "", {},
                                 {{"Origin", "http://elsewhere.test"}, {"Access-Control-Request-Method", "GET"}});
    EXPECT_EQ(preflight.status, 403);
    EXPECT_EQ(preflight.header("Access-Control-Allow-Origin"), "");

    // The page learns which of a template's fields a multi-line box shows.
    const Reply listed = call(service.port, "GET", "/v1/templates", web);
    ASSERT_EQ(listed.status, 200) << listed.raw;
    ASSERT_EQ(listed.body.size(), 1u);
    EXPECT_EQ(listed.body[0]["fields"], json::array({"收件人", "地址", "备注"}));
    EXPECT_EQ(listed.body[0]["multiline"], json::array({"地址", "备注"}));
}

// Refused in both ways a browser meets: no token lists the origin (the
// preflight fails), and another token lists it but not this one (the call
// itself answers 403 unreadably). Either way the page names its origin and
// the command that allows it, and prints nothing.
TEST_F(DemoPage, ARefusedPageNamesItsOriginAndTheCommandThatAllowsIt)
{
    const std::string origin = pageOrigin("localhost");
    const std::string command = "ordavel-cli token add NAME --origin " + origin;

    const json unlisted = connectLog("localhost");
    const std::string said = unlisted.value("value", unlisted.dump());
    EXPECT_NE(said.find("origin-not-allowed"), std::string::npos) << said;
    EXPECT_NE(said.find(command), std::string::npos) << said;
    EXPECT_EQ(said.find("Failed to fetch"), std::string::npos) << said;

    addToken("neighbour --origin " + origin);
    ASSERT_TRUE(eventually([&] {
        return call(service.port, "OPTIONS", "/v1/printers", "", {},
                    {{"Origin", origin}, {"Access-Control-Request-Method", "GET"}})
                   .status
            == 204;
    }, 30s)) << "the service never saw the new token";
    const json otherToken = connectLog("localhost");
    const std::string saidAgain = otherToken.value("value", otherToken.dump());
    EXPECT_NE(saidAgain.find(command), std::string::npos) << saidAgain;

    // A service that is not there is not mistaken for a refusal.
    const int port = service.port;
    service.stop();
    const std::string url = pageOrigin("127.0.0.1") + "/index.html?service=http://127.0.0.1:" + std::to_string(port)
        + "&token=" + web;
    const auto run = runCommand("node " + shellQuoted(std::string(ORDAVEL_SOURCE_DIR) + "/tests/service/browser_eval.mjs")
                                + " " + shellQuoted(url) + " "
                                + shellQuoted(R"(demo.ready.then(() => "connected", () => document.getElementById("log").innerText))")
                                + " 60000");
    EXPECT_NE(run.output.find("打印服务没有响应"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("token add"), std::string::npos) << run.output;

    EXPECT_TRUE(runCommand("find " + shellQuoted(queue.out) + " -name '*.pdf'").output.empty());
}

// From an origin the token lists, the clerk types a two-line address into
// the address's multi-line input and prints: the page carries both lines,
// one under the other.
TEST_F(DemoPage, AnAllowedPagePrintsATwoLineAddressFromItsMultiLineInput)
{
    const json done = open("127.0.0.1", R"(demo.ready.then(async () => {
        const $ = (id) => document.getElementById(id);
        $("printer").value = )" + json(queue.name).dump() + R"(;
        const inputs = [...document.querySelectorAll("[data-field]")];
        const kinds = inputs.map((e) => e.dataset.field + "=" + e.tagName.toLowerCase()).join(" ");
        const field = (name) => inputs.find((e) => e.dataset.field === name);
        field("收件人").value = "Lin Wei";
        field("地址").value = "88 Harbour Road\nUnit 5 Block B";
        const job = await demo.print();
        return kinds + " | " + job.state + " " + job.records.length + " " + job.printer;
    }))");
    ASSERT_EQ(done.value("value", done.dump()), "收件人=input 地址=textarea 备注=textarea | printed 1 " + queue.name);

    std::string text;
    ASSERT_TRUE(eventually([&] {
        const std::string pdf = runCommand("find " + shellQuoted(queue.out) + " -name '*.pdf'").output;
        text = pdf.empty() ? std::string() : readPage(pdf.substr(0, pdf.find('\n')), scratch.path(), "Harbour");
        return !text.empty(); // cups-pdf may still be writing it
    }, 30s)) << "the address is not on the printed page";
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find_first_not_of(" \f") != std::string::npos) // paragraphs end in an empty line
            lines.push_back(line);
    const auto lineOf = [&](const std::string& what) {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(what) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    };
    ASSERT_GE(lineOf("Lin Wei"), 0) << text;
    ASSERT_GE(lineOf("88 Harbour Road"), 0) << text;
    EXPECT_EQ(lineOf("Unit 5 Block B"), lineOf("88 Harbour Road") + 1) << text;
    EXPECT_LT(lineOf("Lin Wei"), lineOf("88 Harbour Road")) << text;
}

} // namespace
} // namespace ordavel::test
