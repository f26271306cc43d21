// ordavel-cli render --data: one page per record copy, read back with
// poppler's pdftotext -bbox (words and their positions on each page).
#include "file/template_writer.h"
#include "model/document.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

constexpr double kPtPerCm = 72.0 / 2.54;

struct Word {
    std::string text;
    double xMin, yMin;
};

// The words of each page of `pdftotext -bbox` output.
std::vector<std::vector<Word>> pagesOf(const std::string& html)
{
    std::vector<std::vector<Word>> pages;
    const std::regex pattern(R"re(<page |<word xMin="([-0-9.]+)" yMin="([-0-9.]+)"[^>]*>([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        if (m.str(0) == "<page ")
            pages.emplace_back();
        else if (!pages.empty())
            pages.back().push_back({m[3].str(), std::stod(m[1]), std::stod(m[2])});
    }
    return pages;
}

std::vector<std::string> textsOf(const std::vector<Word>& page)
{
    std::vector<std::string> texts;
    for (const auto& word : page)
        texts.push_back(word.text);
    return texts;
}

class BatchRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(scratch.path().empty());
        doc.setPageSizes(15.0, 10.0, 567, 378);
        addText(BoxType::EditBox, {2.0, 1.5, 5.0, 0.6}, "${收件人}");
        addText(BoxType::Label, {8.0, 3.0, 5.0, 0.6}, "No.${#} ${单号} $${x}");
        const int date = addText(BoxType::DatePicker, {2.0, 5.0, 5.0, 0.6}, "");
        doc.box(date).dataField = "寄件日期";
        doc.box(date).dateFormat = 5;
        test::FailOnMessage sink;
        ASSERT_TRUE(saveDocument(doc, oxf.string(), sink));
        // GBK, as a shop's export often is; the third address holds a comma and a line break.
        std::ofstream(data, std::ios::binary) << "\xB5\xA5\xBA\xC5,\xCA\xD5\xBC\xFE\xC8\xCB,\xCA\xFD\xC1\xBF,"
                                                 "\xBC\xC4\xBC\xFE\xC8\xD5\xC6\xDA\r\n" // 单号,收件人,数量,寄件日期
                                              << "SF1,Ann,2,2024-03-05\r\n"
                                              << "SF2,Bob,0,45357\r\n"
                                              << "SF3,\"Cy, Jr.\nLee\",1,2024/3/7\r\n";
    }

    int addText(BoxType type, PrintRect rect, std::string text)
    {
        const int index = doc.addBox(type, 0, 0);
        Box& box = doc.box(index);
        box.printRect = rect;
        box.followsEdit = false;
        box.attributes.text = std::move(text);
        box.attributes.font = FontSpec{"WenQuanYi Zen Hei", 12};
        return index;
    }

    test::RunResult render(const std::string& options, const fs::path& out)
    {
        return runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --data " + shellQuoted(data)
                          + " " + options + " -o " + shellQuoted(out));
    }

    std::vector<std::vector<Word>> pdfPages(const fs::path& pdf)
    {
        const auto text = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -");
        EXPECT_EQ(text.status, 0) << text.output;
        return pagesOf(text.output);
    }

    test::ScratchDir scratch{"ordavel-batch"};
    fs::path oxf = scratch.path() / "waybill.oxf";
    fs::path data = scratch.path() / "orders.csv";
    Document doc;
};

TEST_F(BatchRender, EveryRecordGetsItsOwnPageWithTheTemplatePositions)
{
    const fs::path pdf = scratch.path() / "batch.pdf";
    const auto run = render("", pdf);
    ASSERT_EQ(run.status, 0) << run.output;
    const auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(textsOf(pages[0]), (std::vector<std::string>{"Ann", "No.1", "SF1", "${x}", "2024-3-5"}));
    EXPECT_EQ(textsOf(pages[1]), (std::vector<std::string>{"Bob", "No.2", "SF2", "${x}", "2024-3-6"}));
    EXPECT_EQ(textsOf(pages[2]), (std::vector<std::string>{"Cy,", "Jr.", "Lee", "No.3", "SF3", "${x}", "2024-3-7"}));
    for (const auto& page : pages) {
        // The first word of each box sits at the box's print position (within 0.1 mm
        // horizontally; the glyph's cell starts at the top).
        EXPECT_NEAR(page[0].xMin, 2.0 * kPtPerCm, 0.3);
        EXPECT_NEAR(page[0].yMin, 1.5 * kPtPerCm, 1.5);
        EXPECT_NEAR(page[page.size() - 1].xMin, 2.0 * kPtPerCm, 0.3);
        EXPECT_NEAR(page[page.size() - 1].yMin, 5.0 * kPtPerCm, 1.5);
    }
    const Word& number = pages[1][1];
    EXPECT_NEAR(number.xMin, 8.0 * kPtPerCm, 0.3);
    EXPECT_NEAR(number.yMin, 3.0 * kPtPerCm, 1.5);
    // The second line of the quoted address is one line lower, at the same left.
    EXPECT_NEAR(pages[2][2].xMin, 2.0 * kPtPerCm, 0.3);
    EXPECT_GT(pages[2][2].yMin, pages[2][0].yMin + 10);
}

TEST_F(BatchRender, RecordListAndCopiesFromAColumn)
{
    const fs::path pdf = scratch.path() / "some.pdf";
    const auto run = render("--records 3,1-2 --copies-column 数量", pdf);
    ASSERT_EQ(run.status, 0) << run.output;
    const auto pages = pdfPages(pdf);
    // Record 3 once, record 1 twice, record 2 not at all; ${#} counts within the selection.
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(textsOf(pages[0])[3], "No.1");
    EXPECT_EQ(textsOf(pages[0])[4], "SF3");
    for (int copy : {1, 2}) {
        EXPECT_EQ(textsOf(pages[static_cast<std::size_t>(copy)])[0], "Ann");
        EXPECT_EQ(textsOf(pages[static_cast<std::size_t>(copy)])[1], "No.2");
    }
    // PNG pages are numbered files.
    const auto png = render("--records 2-3 --dpi 30", scratch.path() / "page.png");
    ASSERT_EQ(png.status, 0) << png.output;
    EXPECT_TRUE(fs::exists(scratch.path() / "page-0001.png"));
    EXPECT_TRUE(fs::exists(scratch.path() / "page-0002.png"));
    EXPECT_FALSE(fs::exists(scratch.path() / "page-0003.png"));
    EXPECT_FALSE(fs::exists(scratch.path() / "page.png"));
}

TEST_F(BatchRender, NothingIsWrittenWhenTheDataDoesNotFit)
{
    const fs::path pdf = scratch.path() / "none.pdf";
    std::ofstream(data, std::ios::binary) << "单号,姓名\nSF1,Ann\n";
    auto run = render("", pdf);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("ordavel-cli render: 数据文件里没有模板用到的列：收件人、寄件日期"), std::string::npos)
        << run.output;
    std::ofstream(data, std::ios::binary) << "单号,收件人,寄件日期\nSF1,\"Ann\n";
    run = render("", pdf);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("第 2 行第 2 列：引号没有闭合"), std::string::npos) << run.output;
    std::ofstream(data, std::ios::binary) << "单号,收件人,寄件日期\nSF1,Ann,\n";
    run = render("--records 2", pdf);
    EXPECT_NE(run.output.find("记录范围“2”不对：只有 1 条记录"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(pdf));

    const auto fields = runCommand(std::string(ORDAVEL_CLI) + " fields " + shellQuoted(oxf));
    EXPECT_EQ(fields.status, 0);
    EXPECT_NE(fields.output.find(R"(["收件人","单号","寄件日期"])"), std::string::npos) << fields.output;
}

TEST_F(BatchRender, DataFromStandardInput)
{
    const fs::path pdf = scratch.path() / "stdin.pdf";
    const auto run = runCommand("printf '[{\"收件人\":\"Dee\",\"单号\":\"J1\",\"寄件日期\":\"2025-01-02\"}]' | "
                                + std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --data - -o "
                                + shellQuoted(pdf));
    ASSERT_EQ(run.status, 0) << run.output;
    const auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(textsOf(pages[0]), (std::vector<std::string>{"Dee", "No.1", "J1", "${x}", "2025-1-2"}));
}

TEST_F(BatchRender, ABatchPdfReplacesTheFileALinkPointsToAndLeavesNothingBehind)
{
    fs::create_directories(scratch.path() / "shared");
    fs::create_directories(scratch.path() / "mine");
    const fs::path target = scratch.path() / "shared" / "batch.pdf";
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms(0640));
    const fs::path link = scratch.path() / "mine" / "batch.pdf";
    fs::create_symlink("../shared/batch.pdf", link);

    const auto run = render("", link);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "../shared/batch.pdf");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(pdfPages(target).size(), 3u);
    for (const char* folder : {"shared", "mine"})
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path() / folder), {}), 1) << folder;

    // Refused targets say why, and no page is made for them.
    const struct {
        fs::path out;
        const char* reason;
    } refused[] = {{scratch.path() / "no" / "batch.pdf", "no such folder"},
                   {scratch.path() / "dangling.pdf", "the symbolic link points to no file"}};
    fs::create_symlink("gone.pdf", scratch.path() / "dangling.pdf");
    for (const auto& r : refused) {
        const auto failed = render("", r.out);
        EXPECT_EQ(failed.status, 1) << r.out;
        EXPECT_NE(failed.output.find("cannot write \"" + r.out.string() + "\": " + r.reason), std::string::npos)
            << failed.output;
    }
    EXPECT_FALSE(fs::exists(scratch.path() / "gone.pdf"));
}

} // namespace
} // namespace ordavel
