// samples/bank_slip.oxf with samples/bank_slip.csv: every format prints, and
// the 11-cell amount puts each digit in its cell under 亿千百十万千百十元角分,
// read back with pdftotext -bbox.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

const std::string kSlip = std::string(ORDAVEL_SOURCE_DIR) + "/samples/bank_slip.oxf";
const std::string kPayments = std::string(ORDAVEL_SOURCE_DIR) + "/samples/bank_slip.csv";

// The cells, as the sample's maker draws them: 11 of 21 px from x = 548 px at 96 dpi.
constexpr double kPtPerPx = 72.0 / 96.0;
constexpr double kCellsLeftPt = 548 * kPtPerPx;
constexpr double kCellPt = 21 * kPtPerPx;

struct Word {
    std::string text;
    double centre; // across, in pt
    double top;
};

std::vector<std::vector<Word>> pagesOf(const std::string& html)
{
    std::vector<std::vector<Word>> pages;
    const std::regex pattern(
        R"re(<page |<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)"[^>]*>([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        if (m.str(0) == "<page ")
            pages.emplace_back();
        else if (!pages.empty())
            pages.back().push_back({m[4].str(), (std::stod(m[1]) + std::stod(m[3])) / 2, std::stod(m[2])});
    }
    return pages;
}

bool has(const std::vector<Word>& page, const std::string& text)
{
    return std::any_of(page.begin(), page.end(), [&](const Word& w) { return w.text == text; });
}

// The one-character words on the line of the cells, as "cell:text" from the
// left; a word off its cell's centre by more than 0.2 mm comes as "?text".
std::vector<std::string> cellsOf(const std::vector<Word>& page)
{
    std::vector<std::string> cells;
    for (const Word& w : page) {
        if (w.centre < kCellsLeftPt || w.centre > kCellsLeftPt + 11 * kCellPt || w.top < 150 || w.top > 185)
            continue;
        const int cell = static_cast<int>((w.centre - kCellsLeftPt) / kCellPt);
        const double offCentre = std::abs(w.centre - (kCellsLeftPt + (cell + 0.5) * kCellPt));
        cells.push_back(offCentre <= 0.2 * 72 / 25.4 ? std::to_string(cell + 1) + ":" + w.text : "?" + w.text);
    }
    return cells;
}

TEST(BankSlipSample, RendersEveryPaymentWithItsFormatsAndCells)
{
    test::ScratchDir scratch("ordavel-slip");
    const fs::path pdf = scratch.path() / "slip.pdf";
    const auto run = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(kSlip) + " --data "
                                + shellQuoted(kPayments) + " -o " + shellQuoted(pdf));
    ASSERT_EQ(run.status, 0) << run.output;
    const auto text = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -");
    ASSERT_EQ(text.status, 0) << text.output;
    const auto pages = pagesOf(text.output);
    ASSERT_EQ(pages.size(), 4u);

    EXPECT_TRUE(has(pages[0], "人民币壹万贰仟叁佰肆拾伍元陆角"));
    EXPECT_TRUE(has(pages[0], "贰零贰陆年零壹月壹拾伍日"));
    EXPECT_TRUE(has(pages[0], "¥12,345.60"));
    using Cells = std::vector<std::string>;
    EXPECT_EQ(cellsOf(pages[0]), (Cells{"4:¥", "5:1", "6:2", "7:3", "8:4", "9:5", "10:6", "11:0"}));

    // A whole amount still ends under 分; a capital date with 零 before 10 and 20.
    EXPECT_TRUE(has(pages[1], "人民币壹拾万零伍拾元整"));
    EXPECT_TRUE(has(pages[1], "贰零贰陆年零壹拾月零贰拾日"));
    EXPECT_EQ(cellsOf(pages[1]), (Cells{"3:¥", "4:1", "5:0", "6:0", "7:0", "8:5", "9:0", "10:0", "11:0"}));

    EXPECT_TRUE(has(pages[2], "人民币壹仟零肆元叁角"));
    EXPECT_TRUE(has(pages[2], "贰零贰陆年叁月叁拾壹日"));

    // Half a yuan: ¥ under 元, 5 under 角, in words with the cents over 100.
    EXPECT_TRUE(has(pages[3], "人民币伍角"));
    EXPECT_TRUE(has(pages[3], "50/100"));
    EXPECT_EQ(cellsOf(pages[3]), (Cells{"9:¥", "10:5", "11:0"}));
}

} // namespace
} // namespace ordavel
