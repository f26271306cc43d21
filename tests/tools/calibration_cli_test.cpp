// The calibration commands of ordavel-cli on real output: a corrected render
// read back with poppler, the calibration page's crosses, and the stored
// calibrations of `calibrate`.
#include "file/template_writer.h"
#include "model/document.h"
#include "pdf_measure.h"
#include "tool_run.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

constexpr double kPtPerMm = 72.0 / 25.4;
constexpr double kPxPerMm = 20.0; // pdftocairo at 508 dpi
constexpr double kTolerance = 0.05; // mm

struct Word {
    double xMinMm, yMinMm;
};

// Words of `pdftotext -bbox`, first occurrence of each text, in mm.
std::map<std::string, Word> wordsOf(const std::string& html)
{
    std::map<std::string, Word> words;
    const std::regex pattern(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="[-0-9.]+" yMax="[-0-9.]+">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it)
        words.emplace((*it)[3].str(), Word{std::stod((*it)[1]) / kPtPerMm, std::stod((*it)[2]) / kPtPerMm});
    return words;
}

QImage rasterise(const fs::path& pdf, const fs::path& prefix)
{
    const auto run = runCommand("pdftocairo -r 508 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix));
    EXPECT_EQ(run.status, 0) << run.output;
    return QImage(QString::fromStdString(prefix.string() + ".png")).convertToFormat(QImage::Format_RGB32);
}

class CalibrationCli : public ::testing::Test {
protected:
    // The calibration commands keep their file under XDG_CONFIG_HOME.
    std::string cli(const std::string& args) const
    {
        return "XDG_CONFIG_HOME=" + shellQuoted(scratch.path() / "config") + " " + ORDAVEL_CLI + " " + args;
    }

    test::ScratchDir scratch{"ordavel-calibration"};
};

TEST_F(CalibrationCli, RenderWithOffsetAndScaleMovesEveryWordAndBlockByTheFormula)
{
    Document doc;
    doc.setPageSizes(21.3f, 29.0, 805, 1096);
    const struct {
        const char* text;
        PrintRect rect;
    } words[] = {{"Sender", {2.00, 3.00, 5, 1}}, {"Weight", {15.35, 1.25, 3, 1}}, {"Bottom", {3.10, 27.50, 3, 1}},
                 {"Right", {19.00, 26.00, 2, 1}}};
    for (const auto& w : words) {
        const int index = doc.addBox(BoxType::EditBox, 0, 0);
        doc.box(index).followsEdit = false;
        doc.box(index).printRect = w.rect;
        doc.box(index).attributes.text = w.text;
        doc.box(index).attributes.font = FontSpec{"宋体", 12};
    }
    const struct {
        BoxType type;
        Color colour;
        int (*channel)(QRgb); // 0 in the block's colour
        PrintRect rect;
    } blocks[] = {{BoxType::ColorPicker, 0x0000FF, qGreen, {1.15, 5.35, 3.00, 1.50}},   // red
                  {BoxType::ShapeBox, 0xFF0000, qRed, {14.00, 20.00, 6.25, 4.00}},    // blue
                  {BoxType::PicBox, 0x00C000, qRed, {10.50, 10.05, 2.00, 3.10}}};     // green
    for (const auto& b : blocks) {
        const int index = doc.addBox(b.type, 0, 0);
        Box& box = doc.box(index);
        box.followsEdit = false;
        box.printRect = b.rect;
        box.attributes.color = b.colour;
        box.attributes.bgColor = b.colour;
        box.attributes.lineStyle = LineNone;
    }
    test::FailOnMessage sink;
    const fs::path file = scratch.path() / "form.oxf";
    ASSERT_TRUE(saveDocument(doc, file.string(), sink));
    const fs::path pdf = scratch.path() / "corrected.pdf";
    const auto run = runCommand(cli("render " + shellQuoted(file) + " -o " + shellQuoted(pdf)
                                    + " --offset 1.5,-0.8 --scale 100.2,99.8"));
    ASSERT_EQ(run.status, 0) << run.output;
    const fs::path plainPdf = scratch.path() / "plain.pdf";
    ASSERT_EQ(runCommand(cli("render " + shellQuoted(file) + " -o " + shellQuoted(plainPdf))).status, 0);

    const auto printedX = [](double mm) { return 1.5 + 1.002 * mm; };
    const auto printedY = [](double mm) { return -0.8 + 0.998 * mm; };
    // A word starts at its box's left; its top is the box's top plus the
    // font's own ascent difference, which the uncorrected page shows.
    const auto corrected = wordsOf(runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output);
    const auto plain = wordsOf(runCommand("pdftotext -bbox " + shellQuoted(plainPdf) + " -").output);
    for (const auto& w : words) {
        ASSERT_TRUE(corrected.count(w.text) && plain.count(w.text)) << w.text;
        const double designedLeft = static_cast<int>(w.rect.left * 100) / 10.0;
        EXPECT_NEAR(corrected.at(w.text).xMinMm, printedX(designedLeft), kTolerance) << w.text;
        EXPECT_NEAR(corrected.at(w.text).yMinMm, printedY(plain.at(w.text).yMinMm), kTolerance) << w.text;
    }

    const QImage page = rasterise(pdf, scratch.path() / "corrected");
    ASSERT_FALSE(page.isNull());
    for (const auto& b : blocks) {
        const test::Coverage coverage = test::coverageBy(b.channel);
        // Colour blocks round to 0.1 mm first; the others truncate (all exact here).
        const double left = std::round(b.rect.left * 100) / 10.0;
        const double top = std::round(b.rect.top * 100) / 10.0;
        const double right = left + std::round(b.rect.width * 100) / 10.0;
        const double bottom = top + std::round(b.rect.height * 100) / 10.0;
        const int midX = static_cast<int>(printedX((left + right) / 2) * kPxPerMm);
        const int midY = static_cast<int>(printedY((top + bottom) / 2) * kPxPerMm);
        const auto across = test::rowSpan(page, midY, static_cast<int>(printedX(left) * kPxPerMm) - 40,
                                          static_cast<int>(printedX(right) * kPxPerMm) + 40, coverage);
        const auto down = test::columnSpan(page, midX, static_cast<int>(printedY(top) * kPxPerMm) - 40,
                                           static_cast<int>(printedY(bottom) * kPxPerMm) + 40, coverage);
        ASSERT_TRUE(across && down) << std::hex << b.colour;
        EXPECT_NEAR(across->from / kPxPerMm, printedX(left), kTolerance) << std::hex << b.colour;
        EXPECT_NEAR(across->to / kPxPerMm, printedX(right), kTolerance) << std::hex << b.colour;
        EXPECT_NEAR(down->from / kPxPerMm, printedY(top), kTolerance) << std::hex << b.colour;
        EXPECT_NEAR(down->to / kPxPerMm, printedY(bottom), kTolerance) << std::hex << b.colour;
    }
}

TEST_F(CalibrationCli, RenderRefusesCorrectionsOutsideTheLimitsAndMalformedPairs)
{
    Document doc;
    test::FailOnMessage sink;
    const fs::path file = scratch.path() / "empty.oxf";
    ASSERT_TRUE(saveDocument(doc, file.string(), sink));
    const fs::path out = scratch.path() / "never.pdf";
    const struct {
        const char* options;
        const char* message;
    } rows[] = {
        {"--offset 30.5,0", "offset X 30.50 mm is outside -30 to 30 mm"},
        {"--scale 100,89", "scale Y 89.00 % is outside 90 to 110 %"},
        {"--offset 1.5", "--offset takes two numbers separated by a comma"},
        {"--scale 100,abc", "--scale takes two numbers separated by a comma"},
        {"--offset 1,2,3", "--offset takes two numbers separated by a comma"},
    };
    for (const auto& row : rows) {
        const auto run = runCommand(cli("render " + shellQuoted(file) + " -o " + shellQuoted(out) + " " + row.options));
        EXPECT_EQ(run.status, 1) << row.options;
        EXPECT_NE(run.output.find(row.message), std::string::npos) << row.options << ": " << run.output;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CalibrationCli, CalibrationPageCrossesLandAtTheirNominalPositions)
{
    const fs::path pdf = scratch.path() / "page.pdf";
    const auto run = runCommand(cli("calibration-page --paper 21.3,29 -o " + shellQuoted(pdf)));
    ASSERT_EQ(run.status, 0) << run.output;
    const auto text = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output;
    for (const char* word : {"(10.0,", "(203.0,", "10.0)", "280.0)", "(106.5,", "145.0)", "打印机校准页"})
        EXPECT_NE(text.find(std::string(">") + word + "<"), std::string::npos) << word;

    const QImage page = rasterise(pdf, scratch.path() / "page");
    ASSERT_FALSE(page.isNull());
    const test::Coverage ink = test::coverageBy(qRed);
    const struct {
        double x, y;
    } crosses[] = {{10, 10}, {203, 10}, {10, 280}, {203, 280}, {106.5, 145}};
    for (const auto& c : crosses) {
        const int x = static_cast<int>(c.x * kPxPerMm);
        const int y = static_cast<int>(c.y * kPxPerMm);
        // The horizontal arm, 2 mm right of the centre; the vertical arm, 2 mm below it.
        const auto armY = test::strokeCentreInColumn(page, x + 40, y - 20, y + 20, ink);
        const auto armX = test::strokeCentreInRow(page, y + 40, x - 20, x + 20, ink);
        ASSERT_TRUE(armX && armY) << c.x << ", " << c.y;
        EXPECT_NEAR(*armX / kPxPerMm, c.x, kTolerance) << c.x << ", " << c.y;
        EXPECT_NEAR(*armY / kPxPerMm, c.y, kTolerance) << c.x << ", " << c.y;
    }
    // The ruler's 5 cm tick on the top edge, 4 mm long.
    const auto tick = test::strokeCentreInRow(page, 20, 50 * 20 - 10, 50 * 20 + 10, ink);
    ASSERT_TRUE(tick);
    EXPECT_NEAR(*tick / kPxPerMm, 50.0, kTolerance);

    for (const std::string& bad : {std::string("calibration-page"), "calibration-page --paper 4,29.7 -o "
                                                                    + shellQuoted(scratch.path() / "small.pdf"),
                                   "calibration-page -o " + shellQuoted(scratch.path() / "page.png")}) {
        const auto refused = runCommand(cli(bad));
        EXPECT_EQ(refused.status, 1) << bad;
    }
    EXPECT_FALSE(fs::exists(scratch.path() / "small.pdf"));
}

TEST_F(CalibrationCli, CalibrateStoresShowsAndResetsPerPrinter)
{
    // A4, the printer 2.0 mm right, 1.5 mm low and 0.3 % long down the page.
    const auto stored = runCommand(cli("calibrate --printer Tractor/1 --measured 12,11.53,202,289.361"));
    ASSERT_EQ(stored.status, 0) << stored.output;
    EXPECT_EQ(stored.output,
              "Tractor/1: offset X -2.00 mm, Y -1.50 mm; scale X 100.000 %, Y 99.701 %; page length +0.00 mm\n");
    const fs::path ini = scratch.path() / "config" / "ordavel" / "printers.ini";
    ASSERT_TRUE(fs::exists(ini));
    std::stringstream content;
    content << std::ifstream(ini).rdbuf();
    EXPECT_NE(content.str().find("Tractor"), std::string::npos) << content.str();

    // A page-length correction alone keeps the offset and scale.
    ASSERT_EQ(runCommand(cli("calibrate --printer Tractor/1 --page-length 0.2")).status, 0);
    EXPECT_EQ(runCommand(cli("calibrate --printer Tractor/1 --show")).output,
              "Tractor/1: offset X -2.00 mm, Y -1.50 mm; scale X 100.000 %, Y 99.701 %; page length +0.20 mm\n");
    EXPECT_EQ(runCommand(cli("calibrate --printer Other --show")).output, "Other: no calibration\n");

    // Out of limits: refused, the stored one stays.
    const auto far = runCommand(cli("calibrate --printer Tractor/1 --measured 45,10,235,287"));
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.output.find("offset X -35.00 mm is outside -30 to 30 mm"), std::string::npos) << far.output;
    const auto backwards = runCommand(cli("calibrate --printer Tractor/1 --measured 200,287,10,10"));
    EXPECT_EQ(backwards.status, 1);
    EXPECT_NE(backwards.output.find("must be measured right of and below"), std::string::npos);
    EXPECT_EQ(runCommand(cli("calibrate --printer Tractor/1 --page-length 12")).status, 1);
    EXPECT_NE(runCommand(cli("calibrate --printer Tractor/1 --show")).output.find("page length +0.20 mm"),
              std::string::npos);

    ASSERT_EQ(runCommand(cli("calibrate --printer Tractor/1 --reset")).status, 0);
    EXPECT_EQ(runCommand(cli("calibrate --printer Tractor/1 --show")).output, "Tractor/1: no calibration\n");
    for (const char* bad : {"calibrate --show", "calibrate --printer X", "calibrate --printer X --show --reset",
                            "calibrate --printer X --measured 1,2,3"})
        EXPECT_EQ(runCommand(cli(bad)).status, 1) << bad;
}

TEST_F(CalibrationCli, AHandEditedCalibrationOutsideTheLimitsStopsThePrint)
{
    fs::create_directories(scratch.path() / "config" / "ordavel");
    std::ofstream(scratch.path() / "config" / "ordavel" / "printers.ini") << "[Tractor]\nscaleXPercent=150\n";
    const auto shown = runCommand(cli("calibrate --printer Tractor --show"));
    EXPECT_EQ(shown.status, 1);
    EXPECT_NE(shown.output.find("scale X 150.00 % is outside 90 to 110 %"), std::string::npos) << shown.output;
    Document doc;
    test::FailOnMessage sink;
    const fs::path file = scratch.path() / "empty.oxf";
    ASSERT_TRUE(saveDocument(doc, file.string(), sink));
    const auto printed = runCommand(cli("print " + shellQuoted(file) + " --printer Tractor"));
    EXPECT_EQ(printed.status, 1);
    EXPECT_NE(printed.output.find("--calibration none prints without it"), std::string::npos) << printed.output;
}

} // namespace
} // namespace ordavel
