// A payee's name that shrinks to fit its line: read back from the PDF with
// pdftotext -bbox, inside its rectangle and at the largest whole size that
// fits; render --check lists the records whose text does not fit even at
// the smallest size, and a batch stops on them unless --keep-going.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <cmath>
#include <map>
#include <regex>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

constexpr double kPtPerMm = 72.0 / 25.4;
const std::string kFits = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kTooLong = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJ";

struct Word {
    double xMin, yMin, xMax, yMax; // points
};

class ShrinkFit : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Box 1: 50 x 10 mm at (20, 10) mm, 20 pt, shrinking down to 6 pt.
        // Box 2: the same text at 10 pt in a line wide enough, for its width per point.
        const fs::path json = scratch.path() / "payee.json";
        std::ofstream(json) << R"({"pageWidth": 21, "pageHeight": 9, "boxes": [)"
                               R"({"cType": 1, "pPewW": false, "pX": 2, "pY": 1, "pW": 5, "pH": 1, "FontSize": 20,)"
                               R"( "wValue": "${收款人}", "shrinkToFit": 6},)"
                               R"({"cType": 1, "pPewW": false, "pX": 0.5, "pY": 4, "pW": 20, "pH": 1, "FontSize": 10,)"
                               R"( "wValue": "${收款人}"}]})";
        const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
        std::ofstream(data) << "收款人\n" << kFits << "\n" << kTooLong << "\nABC\n";
    }

    test::RunResult render(const std::string& options)
    {
        return runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --data " + shellQuoted(data) + " "
                          + options);
    }

    // The words of the first page by their text.
    std::map<std::string, Word> words()
    {
        const std::string html = runCommand("pdftotext -bbox -f 1 -l 1 " + shellQuoted(pdf) + " -").output;
        const std::regex word(
            R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
        std::map<std::string, Word> found;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
            const Word w{std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])};
            // The same text twice: the upper one is the shrinking box's.
            found.try_emplace((*it)[5].str() + (w.yMin < 30 * kPtPerMm ? "@1" : "@2"), w);
        }
        return found;
    }

    test::ScratchDir scratch{"ordavel-shrink"};
    const fs::path oxf = scratch.path() / "payee.oxf";
    const fs::path data = scratch.path() / "payees.csv";
    const fs::path pdf = scratch.path() / "payees.pdf";
};

TEST_F(ShrinkFit, ALongNameIsDrawnInsideItsRectangleAtTheLargestSizeThatFits)
{
    const auto rendered = render("--records 1 -o " + shellQuoted(pdf));
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    const auto found = words();
    ASSERT_TRUE(found.count(kFits + "@1") && found.count(kFits + "@2")) << rendered.output;
    const Word shrunk = found.at(kFits + "@1");
    const Word reference = found.at(kFits + "@2");
    const double perPoint = (reference.xMax - reference.xMin) / 10.0; // the text's width at 1 pt
    const double width = shrunk.xMax - shrunk.xMin;
    const double rectangle = 50 * kPtPerMm;

    // Inside its rectangle, across and down.
    EXPECT_GE(shrunk.xMin, 20 * kPtPerMm - 0.1);
    EXPECT_LE(shrunk.xMax, 70 * kPtPerMm + 0.1);
    EXPECT_GE(shrunk.yMin, 10 * kPtPerMm - 0.5);
    EXPECT_LE(shrunk.yMax, 20 * kPtPerMm + 0.5);
    // Drawn at a size in half points below its own 20 pt, and not smaller
    // than needed: half a point more would not have fitted.
    const double size = width / perPoint;
    const double halves = std::round(size * 2);
    EXPECT_NEAR(size * 2, halves, 0.1) << size;
    EXPECT_LT(size, 19.5);
    EXPECT_GT((halves + 1) / 2 * perPoint, rectangle) << "drawn at " << size << " pt; "
                                                      << rectangle / perPoint << " pt would fit";
    EXPECT_LT(rectangle / perPoint - size, 0.5);
    EXPECT_LE(width, rectangle + 0.1);

    // A name that fits at its own size keeps it.
    const auto shortName = render("--records 3 -o " + shellQuoted(pdf));
    ASSERT_EQ(shortName.status, 0) << shortName.output;
    const auto small = words();
    ASSERT_TRUE(small.count("ABC@1") && small.count("ABC@2"));
    EXPECT_NEAR((small.at("ABC@1").xMax - small.at("ABC@1").xMin) / (small.at("ABC@2").xMax - small.at("ABC@2").xMin),
                2.0, 0.02);
}

TEST_F(ShrinkFit, CheckListsTheRecordsThatDoNotFitAndWritesNothing)
{
    const std::string expected = "第 2 条记录，第 1 个框：“" + kTooLong + "”缩到 6 磅仍放不下\n";
    const auto checked = render("--check 2>/dev/null");
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.output, expected);
    const auto fine = render("--records 1,3 --check");
    EXPECT_EQ(fine.status, 0) << fine.output;
    EXPECT_EQ(fine.output, "");
    // Nothing beside the template and its data.
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), {}), 3); // payee.json, payee.oxf, payees.csv
    EXPECT_NE(render("--check -o " + shellQuoted(pdf)).status, 0) << "--check writes nothing";
    EXPECT_FALSE(fs::exists(pdf));

    // A batch stops on it before any page is written, unless --keep-going.
    const auto stopped = render("-o " + shellQuoted(pdf));
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.output.find(expected), std::string::npos) << stopped.output;
    EXPECT_FALSE(fs::exists(pdf));
    const auto kept = render("--keep-going -o " + shellQuoted(pdf));
    EXPECT_EQ(kept.status, 0) << kept.output;
    EXPECT_TRUE(fs::exists(pdf));

    // dump carries the option, and a template without the option is checked by its own text.
    const auto dumped = runCommand(std::string(ORDAVEL_CLI) + " dump " + shellQuoted(oxf));
    EXPECT_NE(dumped.output.find(R"("shrinkToFit": 6)"), std::string::npos) << dumped.output;
    const auto own = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --check");
    EXPECT_EQ(own.status, 0) << own.output;
}

} // namespace
} // namespace ordavel
