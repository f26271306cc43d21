// The designer's print of records: a text too large for its box even at its
// smallest size is reported, naming the record and box, before anything prints.
#include "window_fixture.h"

#include <fstream>

namespace ordavel {
namespace {

class ShrinkFitPrintTest : public WindowTest {};

TEST_F(ShrinkFitPrintTest, ATextThatDoesNotFitEvenAtItsSmallestSizeStopsThePrint)
{
    const std::string oxf = writeTemplate(QStringLiteral("payee.oxf"), [](Document& d) {
        const int index = d.addBox(BoxType::Label, 40, 60, 300, 40);
        d.box(index).printRect = {1.0, 1.0, 3.0, 1.0};
        d.box(index).attributes.text = "${收款人}";
        d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        d.box(index).attributes.shrinkToFit = 8;
    });
    ASSERT_TRUE(window->openTemplate(oxf));
    const std::string data = folder.filePath(QStringLiteral("payees.csv")).toStdString();
    const std::string tooLong = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::ofstream(data) << "收款人\nAnn Lee\n" << tooLong << "\n";
    ASSERT_TRUE(window->openDataFile(data));
    prompter.texts.push_back("1-2");
    EXPECT_FALSE(window->print());
    ASSERT_EQ(prompter.requests, (std::vector<std::string>{"text", "message"}));
    EXPECT_EQ(prompter.messages.back().text,
              "第 2 条记录，第 1 个框：“" + tooLong + "”缩到 8 磅仍放不下\n没有打印。");
    EXPECT_EQ(prompter.messages.back().caption, "打印文件");
}

} // namespace
} // namespace ordavel
