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
    auto checked = render("--check 2>/dev/null");
    std::erase(checked.output, '\r'); // a Windows tool ends its lines with \r\n
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
    auto stopped = render("-o " + shellQuoted(pdf));
    std::erase(stopped.output, '\r');
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

// A multi-line box wraps a long payee's name at its spaces and shrinks until
// the lines fit: 40 x 15 mm at (20, 10) mm from 20 pt down to 6 pt. The same
// name at 10 pt on one wide line below gives each stretch of words its width.
TEST(ShrinkFitWrapped, ALongNameWrapsAtItsSpacesAndIsNotSmallerThanNeeded)
{
    test::ScratchDir scratch{"ordavel-wrap"};
    const fs::path json = scratch.path() / "payee.json";
    const fs::path oxf = scratch.path() / "payee.oxf";
    const fs::path data = scratch.path() / "payees.csv";
    const fs::path pdf = scratch.path() / "payees.pdf";
    std::ofstream(json) << R"({"pageWidth": 21, "pageHeight": 9, "boxes": [)"
                           R"({"cType": 1, "pPewW": false, "pX": 2, "pY": 1, "pW": 4, "pH": 1.5, "FontSize": 20,)"
                           R"( "MLine": true, "wValue": "${收款人}", "shrinkToFit": 6},)"
                           R"({"cType": 1, "pPewW": false, "pX": 0.5, "pY": 6, "pW": 20, "pH": 1, "FontSize": 10,)"
                           R"( "wValue": "${收款人}"}]})";
    ASSERT_EQ(runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf)).status, 0);
    const std::vector<std::string> name = {"Pudong", "Development", "Bank", "Company", "Limited", "Beijing", "Branch"};
    std::string joined;
    for (const std::string& word : name)
        joined += (joined.empty() ? "" : " ") + word;
    std::ofstream(data) << "收款人\n" << joined << "\n";
    const std::string render = std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --data " + shellQuoted(data);
    // The check measures it wrapped, as it is drawn: it fits.
    const auto checked = runCommand(render + " --check");
    EXPECT_EQ(checked.status, 0) << checked.output;
    const auto rendered = runCommand(render + " -o " + shellQuoted(pdf));
    ASSERT_EQ(rendered.status, 0) << rendered.output;

    const std::string html = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output;
    const std::regex pattern(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::map<std::string, Word> wrapped;
    std::map<std::string, Word> reference;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        const Word w{std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])};
        (w.yMin < 50 * kPtPerMm ? wrapped : reference)[(*it)[5].str()] = w;
    }
    ASSERT_EQ(wrapped.size(), name.size()) << html;
    ASSERT_EQ(reference.size(), name.size()) << html;

    // The drawn size, from the words' widths against 10 pt, in half points.
    double drawnWidth = 0;
    double referenceWidth = 0;
    for (const std::string& word : name) {
        drawnWidth += wrapped.at(word).xMax - wrapped.at(word).xMin;
        referenceWidth += reference.at(word).xMax - reference.at(word).xMin;
    }
    const double size = 10 * drawnWidth / referenceWidth;
    EXPECT_NEAR(size * 2, std::round(size * 2), 0.1) << size;
    EXPECT_LT(size, 19.5);

    // Every word inside the rectangle.
    const double left = 20 * kPtPerMm, right = 60 * kPtPerMm, top = 10 * kPtPerMm, bottom = 25 * kPtPerMm;
    for (const auto& [word, w] : wrapped) {
        EXPECT_GE(w.xMin, left - 0.1) << word;
        EXPECT_LE(w.xMax, right + 0.1) << word;
        EXPECT_GE(w.yMin, top - 0.5) << word;
        EXPECT_LE(w.yMax, bottom + 0.5) << word;
    }

    // The lines as drawn: each starts at the left edge, words in order.
    std::vector<std::vector<std::string>> lines;
    double lastY = -1;
    for (const std::string& word : name) {
        const Word& w = wrapped.at(word);
        if (lines.empty() || std::abs(w.yMin - lastY) > 0.5) {
            EXPECT_NEAR(w.xMin, left, 0.5) << word << " starts a line";
            lines.emplace_back();
            lastY = w.yMin;
        }
        lines.back().push_back(word);
    }
    ASSERT_GE(lines.size(), 2u);
    const double advance = (wrapped.at(lines[1][0]).yMin - wrapped.at(lines[0][0]).yMin) / size; // per point
    const double lineHeight = (wrapped.at(name[0]).yMax - wrapped.at(name[0]).yMin) / size;

    // The lines at size s, wrapped greedily at spaces by the reference widths.
    const auto wrapAt = [&](double s) {
        std::vector<std::vector<std::string>> out;
        std::size_t first = 0;
        for (std::size_t next = 1; next <= name.size(); ++next) {
            const bool end = next == name.size();
            if (!end && (reference.at(name[next]).xMax - reference.at(name[first]).xMin) * s / 10 <= right - left)
                continue;
            out.emplace_back(name.begin() + static_cast<long>(first), name.begin() + static_cast<long>(next));
            first = next;
        }
        return out;
    };
    const auto fitsAt = [&](double s) {
        const auto at = wrapAt(s);
        for (const auto& line : at)
            if ((reference.at(line.back()).xMax - reference.at(line.front()).xMin) * s / 10 > right - left)
                return false;
        return static_cast<double>(at.size() - 1) * advance * s + lineHeight * s <= bottom - top + 0.5;
    };
    EXPECT_EQ(lines, wrapAt(size)) << "broken at the spaces where the width runs out";
    EXPECT_TRUE(fitsAt(size));
    EXPECT_FALSE(fitsAt(size + 0.5)) << "drawn at " << size << " pt; half a point more would fit";
}

} // namespace
} // namespace ordavel
