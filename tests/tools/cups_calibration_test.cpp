// ordavel-cli print with a stored calibration through a real CUPS scheduler
// and a cups-pdf queue: the shift on the printed page, and the paper size
// that reaches the spool for a continuous form with a page-length correction.
#include "file/template_writer.h"
#include "model/document.h"
#include "cups_queue.h"
#include "tool_run.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::areaOf;
using test::CupsPdfQueue;
using test::runCommand;
using test::shellQuoted;
using test::cups::outputFolders;
using test::cups::waitForJobPdf;

class CupsCalibration : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = queue.start(); !why.empty())
            GTEST_SKIP() << "no CUPS scheduler: " << why;
    }

    std::string cli(const std::string& args) const
    {
        return "XDG_CONFIG_HOME=" + shellQuoted(scratch.path() / "config") + " " + ORDAVEL_CLI + " " + args;
    }

    fs::path saveTemplate(Document& doc)
    {
        test::FailOnMessage sink;
        const fs::path file = scratch.path() / "form.oxf";
        EXPECT_TRUE(saveDocument(doc, file.string(), sink));
        return file;
    }

    // Prints and returns the queue's PDF (removed with the scratch folder's
    // owner at the end of the test), or an empty path.
    fs::path printThrough(const fs::path& file, const std::string& options, std::string* output = nullptr)
    {
        const auto printed = runCommand(cli("print " + shellQuoted(file) + " --printer " + queue.name + " " + options));
        EXPECT_EQ(printed.status, 0) << printed.output;
        if (output)
            *output = printed.output;
        const fs::path pdf = waitForJobPdf(outputFolders(), lastJobId());
        if (!pdf.empty())
            m_pdfs.push_back(pdf);
        return pdf;
    }

    std::string lastJobId() const { return test::cups::lastJobId(queue.name); }

    ~CupsCalibration() override
    {
        for (const auto& pdf : m_pdfs) {
            std::error_code ignored;
            fs::remove(pdf, ignored);
        }
    }

    CupsPdfQueue queue;
    test::ScratchDir scratch{"ordavel-cups-calibration"};

private:
    std::vector<fs::path> m_pdfs;
};

QRect redArea(const fs::path& pdf, const fs::path& prefix)
{
    EXPECT_EQ(runCommand("pdftoppm -r 508 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix)).status, 0);
    return areaOf(QImage(QString::fromStdString(prefix.string() + ".png")), Qt::red);
}

TEST_F(CupsCalibration, TheStoredCalibrationMovesThePrintAndNoneLeavesItAlone)
{
    Document doc;
    doc.setPageSizes(15.0, 10.0, 567, 378);
    const int index = doc.addBox(BoxType::ColorPicker, 0, 0);
    doc.box(index).followsEdit = false;
    doc.box(index).printRect = {3.00, 2.00, 3.00, 2.00};
    doc.box(index).attributes.color = 0x0000FF;
    const fs::path file = saveTemplate(doc);

    // A printer 3 mm to the left and 2 mm high: the crosses at (10, 10) and
    // (140, 90) of the 15 x 10 cm page land at (7, 8) and (137, 88).
    const auto calibrated = runCommand(cli("calibrate --printer " + queue.name + " --paper 15,10 --measured 7,8,137,88"));
    ASSERT_EQ(calibrated.status, 0) << calibrated.output;

    std::string said;
    const fs::path moved = printThrough(file, "", &said);
    ASSERT_FALSE(moved.empty()) << "no PDF from the queue";
    EXPECT_NE(said.find("offset X 3.00 mm, Y 2.00 mm"), std::string::npos) << said;
    const fs::path plain = printThrough(file, "--calibration none");
    ASSERT_FALSE(plain.empty()) << "no PDF from the queue";

    // 508 dpi: 20 pixels a millimetre; cups-pdf re-renders, so 0.2 mm.
    const QRect shifted = redArea(moved, scratch.path() / "moved");
    const QRect unshifted = redArea(plain, scratch.path() / "plain");
    ASSERT_TRUE(shifted.isValid() && unshifted.isValid());
    EXPECT_NEAR(shifted.left(), 33 * 20, 4);
    EXPECT_NEAR(shifted.top(), 22 * 20, 4);
    EXPECT_NEAR(shifted.width(), 30 * 20, 4);
    EXPECT_NEAR(unshifted.left(), 30 * 20, 4);
    EXPECT_NEAR(unshifted.top(), 20 * 20, 4);
}

TEST_F(CupsCalibration, ThePaperReachesTheSpoolAsTypedToTheHundredthOfAMillimetre)
{
    // Single-precision sides a hair below the typed value (12.6999998, 21.2999992)
    // must not arrive a tenth of a millimetre short.
    const struct {
        float widthCm, heightCm;
        const char* pageLength; // stored correction, none when empty
        const char* media;      // the job's paper as CUPS holds it
    } rows[] = {{23.0f, 12.7f, "", "Custom.230x127mm"},
                {21.3f, 29.0f, "", "Custom.213x290mm"},
                {21.3f, 29.0f, "0.47", "Custom.213x290.47mm"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.media);
        Document doc;
        doc.setPageSizes(row.widthCm, row.heightCm, 800, 800);
        const int index = doc.addBox(BoxType::ColorPicker, 0, 0);
        doc.box(index).followsEdit = false;
        doc.box(index).printRect = {1.00, 10.00, 2.00, 1.00};
        doc.box(index).attributes.color = 0x0000FF;
        const fs::path file = saveTemplate(doc);
        if (*row.pageLength != '\0') {
            ASSERT_EQ(runCommand(cli("calibrate --printer " + queue.name + " --page-length " + row.pageLength)).status, 0);
        }
        const fs::path pdf = printThrough(file, "");
        ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
        const std::string job = lastJobId();
        ASSERT_FALSE(job.empty());
        std::string type;
        EXPECT_EQ(test::cups::jobAttribute(job, "media", &type), row.media);
        EXPECT_EQ(type, "keyword");
    }

    // The calibration page of the same paper goes out with the same media.
    const auto printed = runCommand(cli("calibration-page --paper 23,12.7 --printer " + queue.name));
    ASSERT_EQ(printed.status, 0) << printed.output;
    const std::string job = lastJobId();
    const fs::path pdf = waitForJobPdf(outputFolders(), job);
    if (!pdf.empty()) {
        std::error_code ignored;
        fs::remove(pdf, ignored);
    }
    std::string type;
    EXPECT_EQ(test::cups::jobAttribute(job, "media", &type), "Custom.230x127mm");
    EXPECT_EQ(type, "keyword");
}

TEST_F(CupsCalibration, TheSpooledPdfHasThePageInWholePoints)
{
    Document doc;
    doc.setPageSizes(21.3f, 29.0, 805, 1096);
    const fs::path file = saveTemplate(doc);
    ASSERT_EQ(runCommand(cli("calibrate --printer " + queue.name + " --page-length 0.47")).status, 0);
    const fs::path pdf = printThrough(file, "");
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
    const std::string job = lastJobId();
    const auto attributes = runCommand("ipptool -tv ipp://localhost/jobs/" + job + " get-job-attributes.test").output;
    if (attributes.find("job-preserved (boolean) = true") == std::string::npos)
        GTEST_SKIP() << "the scheduler does not keep the spooled document";
    char spooled[64];
    std::snprintf(spooled, sizeof spooled, "/var/spool/cups/d%05d-001", std::stoi(job));
    std::ifstream in(spooled, std::ios::binary);
    ASSERT_TRUE(in) << spooled;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::smatch box;
    ASSERT_TRUE(std::regex_search(bytes, box, std::regex(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")));
    // 213 mm is 603.78 pt, 290.47 mm 823.38 pt.
    EXPECT_DOUBLE_EQ(std::stod(box[1]), 604.0);
    EXPECT_DOUBLE_EQ(std::stod(box[2]), 823.0);
}

} // namespace
} // namespace ordavel
