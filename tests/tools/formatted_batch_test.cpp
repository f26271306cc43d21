// ordavel-cli render --data with formatted placeholders: the formatted values
// on the page, read back with pdftotext; a value its format cannot read
// stops the batch before any page is written, unless --keep-going.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <fstream>

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

} // namespace
} // namespace ordavel
