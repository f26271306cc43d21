// Placeholders with a format: the column is found by the name before "|",
// the value prints in its format, an unknown format is caught before a print
// and a value the format cannot read prints nothing and is reported.
#include "data/field_text.h"
#include "data/format_check.h"
#include "data/merge.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

DataTable slips()
{
    DataTable table({"金额", "日期"});
    for (const char* cell : {"12345.67", "2026-10-20"})
        table.appendCell(cell);
    table.endRecord();
    for (const char* cell : {"12.345", "2026-11-31"})
        table.appendCell(cell);
    table.endRecord();
    return table;
}

TEST(FormattedFields, PrintTheColumnsValueInItsFormatAndReportWhatCannotBeRead)
{
    const DataTable table = slips();
    Document doc;
    const int slip = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(slip).attributes.text = "${金额|人民币大写}（${金额|金额}）${日期|票据日期} 第${#|金额:0}张";
    EXPECT_EQ(templateFields(doc), (std::vector<std::string>{"金额", "日期"}));
    EXPECT_TRUE(checkFields(doc, table).ok());

    RecordMerge merge(table);
    merge.setRecord(0, 3);
    bool printed = false;
    EXPECT_EQ(merge.printedText(doc.box(slip), printed),
              "人民币壹万贰仟叁佰肆拾伍元陆角柒分（12,345.67）贰零贰陆年零壹拾月零贰拾日 第3张");
    EXPECT_TRUE(merge.warnings().empty());

    merge.setRecord(1, 4);
    EXPECT_EQ(merge.printedText(doc.box(slip), printed), "（12.35） 第4张");
    // Each value that cannot be read is reported once for its record, however often the box is drawn.
    merge.printedText(doc.box(slip), printed);
    ASSERT_EQ(merge.warnings().size(), 2u);
    EXPECT_EQ(merge.warnings()[0], "第 2 条记录：“${金额|人民币大写}”：金额“12.345”的小数超过两位");
    EXPECT_EQ(merge.warnings()[1], "第 2 条记录：“${日期|票据日期}”：“2026-11-31”不是日期");
}

TEST(FormattedFields, AnUnknownFormatFailsTheCheckBeforeAnythingPrints)
{
    Document doc;
    const int box = doc.addBox(BoxType::Label, 0, 0);
    doc.box(box).attributes.text = "${金额|大小}${金额|大写}${#seq:单号:000|金额:x}";
    const FieldCheck check = checkFields(doc, slips());
    EXPECT_FALSE(check.ok());
    EXPECT_EQ(check.badFormats, (std::vector<std::string>{"金额|大小", "#seq:单号:000|金额:x"}));
    EXPECT_EQ(check.message(), "模板用到未知的格式：${金额|大小}、${#seq:单号:000|金额:x}");
    EXPECT_EQ(counterNames(doc.box(box).attributes.text), (std::vector<std::string>{"单号"}));
}

TEST(FormattedFields, TheCheckBeforeABatchNamesEachRecordAndBoxWhoseValueCannotBeRead)
{
    Document doc;
    doc.addBox(BoxType::Label, 0, 0);
    const int amount = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(amount).attributes.text = "${金额|大写} ${日期} ${#|票据日期}"; // ${#} reads as a serial date
    const int date = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(date).attributes.text = "${日期|日期:yyyy年M月d日}";
    const int notPrinted = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(notPrinted).attributes.text = "${金额|words}";
    doc.box(notPrinted).isPrint = false;
    const int wrong = doc.addBox(BoxType::Label, 0, 0);
    doc.box(wrong).attributes.text = "${日期|金额}";

    const DataTable table = slips();
    const auto problems = checkFieldFormats(doc, table, {1, 0});
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].message(), "第 2 条记录，第 2 个框的“${金额|大写}”：金额“12.345”的小数超过两位");
    EXPECT_EQ(problems[1].message(), "第 2 条记录，第 3 个框的“${日期|日期:yyyy年M月d日}”：“2026-11-31”不是日期");
    EXPECT_EQ(problems[2].message(), "第 2 条记录，第 5 个框的“${日期|金额}”：“2026-11-31”不是金额");
    EXPECT_EQ(problems[3].message(), "第 1 条记录，第 5 个框的“${日期|金额}”：“2026-10-20”不是金额");
    EXPECT_EQ(checkFieldFormats(doc, table, {1, 0}, 2).size(), 2u);
    EXPECT_TRUE(checkFieldFormats(doc, table, {}).empty());
}

} // namespace
} // namespace ordavel
