// The paper of what the print service prints, read back from a cups-pdf
// queue: every page of a job, a reprint, a job resumed after a restart and a
// PDF preview is the template's own paper, a landscape form kept landscape,
// and a box lands where the template puts it.
#include "service_fixture.h"
#include "tools/pdf_pages.h"

#include <QImage>

namespace ordavel::test {
namespace {

class ServicePaper : public ServiceTest {
protected:
    ServicePaper() : ServiceTest("ordavel-paper") {}

    void SetUp() override
    {
        ServiceTest::SetUp();
        if (setUpStopped())
            return;
        // A waybill 23 x 12.7 cm (landscape) and a form 21.3 x 29 cm (portrait),
        // each with its record as a symbol and a red block at (2, 3) cm.
        for (const auto& [name, width, height] : {std::tuple{"waybill", "23", "12.7"}, {"tall", "21.3", "29"}}) {
            const fs::path source = scratch.path() / (std::string(name) + ".json");
            std::ofstream(source) << R"({"pageWidth": )" << width << R"(, "pageHeight": )" << height
                                  << R"(, "boxes": [{"cType": 8, "pPewW": false, "pX": 8, "pY": 1, "pW": 7, "pH": 2.5,)"
                                     R"( "bcType": "Code128", "wValue": "${单号}"}, {"cType": 7, "pPewW": false,)"
                                     R"( "pX": 2, "pY": 3, "pW": 3, "pH": 1, "Color": 255}]})";
            const auto built = tool("build " + shellQuoted(source) + " -o "
                                    + shellQuoted(templates / (std::string(name) + ".oxf")));
            ASSERT_EQ(built.status, 0) << built.output;
        }
        token = addToken("paper");
    }

    Reply post(const std::string& path, const json& body)
    {
        return call(service.port, "POST", path, token, body.dump());
    }

    std::int64_t submit(const std::string& templateName, int records)
    {
        json recs = json::array();
        for (int r = 1; r <= records; ++r)
            recs.push_back({{"单号", templateName + std::to_string(r)}});
        const Reply sent = post("/v1/jobs", {{"template", templateName}, {"printer", queue.name}, {"records", recs}});
        EXPECT_EQ(sent.status, 201) << sent.raw;
        return sent.body.value("id", std::int64_t{0});
    }

    void waitPrinted(std::int64_t id)
    {
        json last;
        EXPECT_TRUE(eventually([&] {
            last = call(service.port, "GET", "/v1/jobs/" + std::to_string(id), token).body;
            return last.value("state", "") == "printed";
        }, 90s)) << last.dump();
    }

    // Each page of each PDF is widthMm x heightMm within 1 pt, and the red
    // block of the first page lands at (20, 30) mm within 0.3 mm.
    void expectPaper(const std::vector<fs::path>& pdfs, double widthMm, double heightMm)
    {
        ASSERT_FALSE(pdfs.empty()) << "no PDF from the queue";
        for (const fs::path& pdf : pdfs) {
            expectPagesOf(pdf, widthMm, heightMm);
            expectRedBlockAt20By30(pdf);
        }
    }

    void expectRedBlockAt20By30(const fs::path& pdf)
    {
        const fs::path prefix = scratch.path() / "page";
        ASSERT_EQ(runCommand("pdftoppm -r 254 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix)).status, 0);
        const QRect area = areaOf(QImage(QString::fromStdString(prefix.string() + ".png")), Qt::red);
        ASSERT_TRUE(area.isValid()) << "no red block";
        // 254 dpi: 10 pixels a millimetre.
        EXPECT_NEAR(area.left(), 200, 3);
        EXPECT_NEAR(area.top(), 300, 3);
        EXPECT_NEAR(area.width(), 300, 3);
    }

    std::string token;
};

TEST_F(ServicePaper, JobsAndReprintsGoOutOnTheTemplatesPaperInItsOrientation)
{
    startService();
    const std::int64_t waybill = submit("waybill", 2);
    waitPrinted(waybill);
    // The same job options as the tool's and the designer's prints.
    const std::string cupsJob = cups::lastJobId(queue.name);
    EXPECT_EQ(cups::jobAttribute(cupsJob, "media"), "Custom.230x127mm");
    EXPECT_EQ(cups::jobAttribute(cupsJob, "print-scaling"), "none");
    expectPaper(queue.newPdfs(), 230, 127);

    const std::int64_t tall = submit("tall", 1);
    waitPrinted(tall);
    expectPaper(queue.newPdfs(), 213, 290);

    const Reply again = post("/v1/jobs/" + std::to_string(waybill) + "/reprint", json::object());
    ASSERT_EQ(again.status, 201) << again.raw;
    waitPrinted(again.body["id"]);
    expectPaper(queue.newPdfs(), 230, 127);
}

TEST_F(ServicePaper, AJobResumedAfterARestartKeepsItsPaper)
{
    ASSERT_EQ(runCommand("cupsdisable " + queue.name).status, 0);
    startService();
    const std::int64_t id = submit("waybill", 2);
    EXPECT_EQ(service.stop(SIGKILL), -SIGKILL);
    ASSERT_EQ(runCommand("cupsenable " + queue.name).status, 0);
    startService();
    waitPrinted(id);
    expectPaper(queue.newPdfs(), 230, 127);
}

TEST_F(ServicePaper, APdfPreviewIsAPageOfTheTemplatesPaper)
{
    startService();
    for (const auto& [name, width, height] : {std::tuple{"waybill", 230.0, 127.0}, {"tall", 213.0, 290.0}}) {
        SCOPED_TRACE(name);
        const Reply preview = post("/v1/preview?format=pdf", {{"template", name}, {"record", {{"单号", "P1"}}}});
        ASSERT_EQ(preview.status, 200) << preview.raw.substr(0, 300);
        const fs::path pdf = scratch.path() / (std::string(name) + "-preview.pdf");
        std::ofstream(pdf, std::ios::binary) << preview.raw;
        expectPaper({pdf}, width, height);
    }
}

} // namespace
} // namespace ordavel::test
