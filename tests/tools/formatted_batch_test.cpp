// ordavel-cli render --data with formatted placeholders: the formatted values
// on the page, read back with pdftotext; a value its format cannot read
// stops the batch before any page is written, unless --keep-going.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <tuple>
#include <regex>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

class FormattedBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path json = scratch.path() / "slip.json";
        std::ofstream(json) << R"({"pageWidth": 21, "pageHeight": 9, "boxes": [)"
                               R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 1, "pW": 18, "pH": 1, "wValue": "${金额|人民币大写}"},)"
                               R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 3, "pW": 18, "pH": 1, "wValue": "${金额|words}"},)"
                               R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 5, "pW": 18, "pH": 1, "wValue": "${日期|票据日期}"}]})";
        const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
    }

    test::RunResult render(const std::string& csv, const std::string& extra = {})
    {
        std::ofstream(data) << csv;
        return runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --data " + shellQuoted(data)
                          + " -o " + shellQuoted(pdf) + " " + extra);
    }

    std::string pageText() { return runCommand("pdftotext -layout " + shellQuoted(pdf) + " -").output; }

    test::ScratchDir scratch{"ordavel-formatted"};
    const fs::path oxf = scratch.path() / "slip.oxf";
    const fs::path data = scratch.path() / "slips.csv";
    const fs::path pdf = scratch.path() / "slips.pdf";
};

TEST_F(FormattedBatch, PrintsEachValueInItsFormat)
{
    const auto rendered = render("金额,日期\n\"1,234.56\",2026-10-20\n");
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    const std::string text = pageText();
    EXPECT_NE(text.find("人民币壹仟贰佰叁拾肆元伍角陆分"), std::string::npos) << text;
    EXPECT_NE(text.find("One Thousand Two Hundred Thirty Four and 56/100"), std::string::npos) << text;
    EXPECT_NE(text.find("贰零贰陆年零壹拾月零贰拾日"), std::string::npos) << text;
}

TEST_F(FormattedBatch, AValueItsFormatCannotReadStopsTheBatchUnlessKeepGoing)
{
    const std::string csv = "金额,日期\n12.5,2026-01-15\n12.345,2026-11-31\n";
    const auto stopped = render(csv);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.output.find("第 2 条记录，第 1 个框的“${金额|人民币大写}”：金额“12.345”的小数超过两位"),
              std::string::npos) << stopped.output;
    EXPECT_NE(stopped.output.find("第 2 条记录，第 3 个框的“${日期|票据日期}”：“2026-11-31”不是日期"),
              std::string::npos) << stopped.output;
    EXPECT_FALSE(fs::exists(pdf)) << "nothing is written before the problem is reported";

    const auto kept = render(csv, "--keep-going");
    ASSERT_EQ(kept.status, 0) << kept.output;
    EXPECT_NE(kept.output.find("金额“12.345”的小数超过两位"), std::string::npos) << kept.output;
    const std::string text = pageText();
    EXPECT_NE(text.find("人民币壹拾贰元伍角"), std::string::npos) << text;
    EXPECT_NE(text.find("贰零贰陆年零壹月壹拾伍日"), std::string::npos) << text;
    EXPECT_EQ(text.find("零贰拾日"), std::string::npos);
}

TEST_F(FormattedBatch, AnAmountInElevenCellsPutsEachDigitInTheMiddleOfItsCell)
{
    // Cells of 1 cm from x = 2 cm: 亿千百十万千百十元角分.
    const fs::path json = scratch.path() / "cells.json";
    std::ofstream(json) << R"({"pageWidth": 15, "pageHeight": 5, "boxes": [)"
                           R"({"cType": 1, "pPewW": false, "pX": 2, "pY": 1, "pW": 11, "pH": 1,)"
                           R"( "wValue": "${金额|金额:2}", "cells": 11, "cellYen": true}]})";
    const fs::path cells = scratch.path() / "cells.oxf";
    const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(cells));
    ASSERT_EQ(built.status, 0) << built.output;
    const auto dumped = runCommand(std::string(ORDAVEL_CLI) + " dump " + shellQuoted(cells));
    EXPECT_NE(dumped.output.find(R"("cellYen": true)"), std::string::npos) << dumped.output;
    EXPECT_NE(dumped.output.find(R"("cells": 11)"), std::string::npos) << dumped.output;

    std::ofstream(data) << "金额\n12345.6\n123456789.00\n";
    const auto refused = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(cells) + " --data "
                                    + shellQuoted(data) + " -o " + shellQuoted(pdf));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("第 2 条记录，第 1 个框：“123,456,789.00”放不进 11 个格子"), std::string::npos)
        << refused.output;

    const auto rendered = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(cells) + " --data "
                                     + shellQuoted(data) + " --records 1 -o " + shellQuoted(pdf));
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    const std::string html = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output;
    const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)"[^>]*>([^<]*)</word>)re");
    std::vector<std::pair<std::string, double>> centres; // each word and its centre, mm
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
        centres.emplace_back((*it)[3], (std::stod((*it)[1]) + std::stod((*it)[2])) / 2 * 25.4 / 72);
    const std::vector<std::string> expected = {"¥", "1", "2", "3", "4", "5", "6", "0"};
    ASSERT_EQ(centres.size(), expected.size()) << html;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(centres[i].first, expected[i]);
        // ¥ in cell 4 (十万), the digits in cells 5 (万) to 11 (分), each 10 mm wide from 20 mm.
        EXPECT_NEAR(centres[i].second, 20 + 10 * (3 + static_cast<double>(i)) + 5, 0.2) << expected[i];
    }
}

// A 10 x 9 cm form two across and three down on A4, eight records from
// cell 4: records 1 to 3 in cells 4 to 6 of the first sheet, 4 to 8 in
// cells 1 to 5 of the second.
TEST_F(FormattedBatch, ABatchFillsTheSheetsCellsFromTheStartCell)
{
    const fs::path json = scratch.path() / "labels.json";
    std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 9, "sheet": "21,29.7,2,3,0.5,1,10,9.5", "boxes": [)"
                           R"({"cType": 1, "pPewW": false, "pX": 1, "pY": 1, "pW": 8, "pH": 1, "wValue": "L${#}"}]})";
    const fs::path labels = scratch.path() / "labels.oxf";
    ASSERT_EQ(runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(labels)).status, 0);
    std::ofstream(data) << "x\n1\n2\n3\n4\n5\n6\n7\n8\n";
    const std::string render = std::string(ORDAVEL_CLI) + " render " + shellQuoted(labels) + " --data "
        + shellQuoted(data) + " -o " + shellQuoted(pdf);
    EXPECT_NE(runCommand(render + " --start-cell 7").status, 0) << "only six cells";
    const auto rendered = runCommand(render + " --start-cell 4");
    ASSERT_EQ(rendered.status, 0) << rendered.output;

    const std::string html = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output;
    const std::regex pattern(R"re(<page width="([0-9.]+)" height="([0-9.]+)"|<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
    int page = 0;
    std::map<std::string, std::tuple<int, double, double>> found; // text: page, x and y in cm
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        if (m[1].matched) {
            ++page;
            EXPECT_NEAR(std::stod(m[1]), 210 / 25.4 * 72, 1.0);
            EXPECT_NEAR(std::stod(m[2]), 297 / 25.4 * 72, 1.0);
        } else {
            found[m[5]] = {page, std::stod(m[3]) * 2.54 / 72, std::stod(m[4]) * 2.54 / 72};
        }
    }
    EXPECT_EQ(page, 2);
    ASSERT_EQ(found.size(), 8u) << html;
    // The word's box starts a little above the box's top: measured once, on record 4 in cell 1.
    const double above = 2.0 - std::get<2>(found["L4"]);
    for (int record = 1; record <= 8; ++record) {
        SCOPED_TRACE(record);
        const int cell = (record + 2) % 6; // 0-based: 3, 4, 5, then 0 to 4
        const auto [onPage, x, y] = found["L" + std::to_string(record)];
        EXPECT_EQ(onPage, record <= 3 ? 1 : 2);
        // The box at (1, 1) cm of a form whose corner is (0.5 + 10 col, 1 + 9.5 row).
        EXPECT_NEAR(x, 0.5 + 10 * (cell % 2) + 1, 0.05);
        EXPECT_NEAR(y + above, 1 + 9.5 * (cell / 2) + 1, 0.05);
    }
}

} // namespace
} // namespace ordavel
