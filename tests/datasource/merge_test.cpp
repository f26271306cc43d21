// Placeholders, the field check and what a box draws for one record.
#include "data/field_text.h"
#include "data/merge.h"
#include "file/base64.h"
#include "file/gbk.h"
#include "file/template_format.h"
#include "file/template_reader.h"
#include "file/template_writer.h"
#include "print/barcode_render.h"
#include "print/print_job.h"
#include "print/recording_surface.h"
#include "file/template_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace ordavel {
namespace {

std::string substituted(std::string_view text, const std::map<std::string, std::string, std::less<>>& values)
{
    std::string out = "kept:";
    substituteFields(text, [&](std::string_view name) -> std::string_view {
        const auto found = values.find(name);
        return found == values.end() ? std::string_view("?") : std::string_view(found->second);
    }, out);
    return out;
}

TEST(FieldText, PlaceholdersRecordNumberAndEscapes)
{
    const std::map<std::string, std::string, std::less<>> values{{"姓名", "张三"}, {"#", "7"}, {"", "E"}, {"a b", "x"}};
    EXPECT_EQ(substituted("收件人：${姓名}（第${#}张）", values), "kept:收件人：张三（第7张）");
    EXPECT_EQ(substituted("$${姓名} costs $5 ${姓名}$", values), "kept:${姓名} costs $5 张三$");
    EXPECT_EQ(substituted("$$${姓名}", values), "kept:$${姓名}"); // "$", then the escape "$${"
    EXPECT_EQ(substituted("open ${姓名", values), "kept:open ${姓名");
    EXPECT_EQ(substituted("${}${a b}", values), "kept:Ex");
    EXPECT_EQ(placeholderNames("${a}${#}${b}${a}$${c}${d"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(hasPlaceholders("x${"));
    EXPECT_FALSE(hasPlaceholders("$5 {x}"));
}

TEST(FieldText, CounterFieldsAreNoColumnsAndPadWithTheirPattern)
{
    EXPECT_EQ(placeholderNames("${#seq:单号}${a}${#seq:x:0000}"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(counterNames("${#seq:单号}-${#seq:x:0000}-${#seq:单号:00}$${#seq:y}"),
              (std::vector<std::string>{"单号", "x"}));
    const auto padded = counterField("#seq:x:000000");
    ASSERT_TRUE(padded.has_value());
    EXPECT_EQ(padded->name, "x");
    EXPECT_EQ(padded->width, 6);
    for (const char* bad : {"#seq:", "#seq: ", "#seq:x:", "#seq:x:0a0", "#seqx", "#"})
        EXPECT_FALSE(counterField(bad).has_value()) << bad;
    EXPECT_EQ(formatCounterValue(42, 6), "000042");
    EXPECT_EQ(formatCounterValue(1234567, 3), "1234567");
    EXPECT_EQ(formatCounterValue(-5, 3), "-005");

    const auto lookup = [](std::string_view name) -> std::string_view { return name == "#seq:n:000" ? "007" : "?"; };
    std::string out;
    substituteCounters("No.${#seq:n:000} to ${姓名} $${#seq:n:000} ${#} ${open", lookup, out);
    EXPECT_EQ(out, "No.007 to ${姓名} $${#seq:n:000} ${#} ${open");
}

class MergeTest : public ::testing::Test {
protected:
    MergeTest() : table({"姓名", "日期", "照片", "数量", "姓名"})
    {
        for (const auto& row : std::vector<std::vector<std::string>>{
                 {"张三", "2024-03-05", "", "1", "dup"},
                 {"李四", "45357.5", "missing.jpg", "2", "dup"},
                 {"", "not a date", "logo.gif", "", "dup"}}) {
            for (const auto& cell : row)
                table.appendCell(cell);
            table.endRecord();
        }
        text = doc.addBox(BoxType::EditBox, 0, 0);
        doc.box(text).attributes.text = "To ${姓名} #${#}";
        label = doc.addBox(BoxType::Label, 0, 0);
        doc.box(label).attributes.text = "plain";
        date = doc.addBox(BoxType::DatePicker, 0, 0);
        doc.box(date).dataField = "日期";
        doc.box(date).dateFormat = 6;
        picture = doc.addBox(BoxType::PicBox, 0, 0);
        doc.box(picture).dataField = "照片";
        combo = doc.addBox(BoxType::ComboBox, 0, 0);
        doc.box(combo).attributes.text = "${数量}件";
    }

    Document doc;
    DataTable table;
    int text = 0, label = 0, date = 0, picture = 0, combo = 0;
};

TEST_F(MergeTest, FieldsTheTemplateUsesAndTheCheck)
{
    EXPECT_EQ(templateFields(doc), (std::vector<std::string>{"姓名", "日期", "照片", "数量"}));
    // A field used twice is listed once; a deleted box's field is not used.
    const int extra = doc.addBox(BoxType::Label, 0, 0);
    doc.box(extra).attributes.text = "${照片}${缺少}";
    const int gone = doc.addBox(BoxType::Label, 0, 0);
    doc.box(gone).attributes.text = "${已删除}";
    doc.deleteBox(gone);
    const FieldCheck check = checkFields(doc, table);
    EXPECT_FALSE(check.ok());
    EXPECT_EQ(check.missing, std::vector<std::string>{"缺少"});
    EXPECT_EQ(check.ambiguous, std::vector<std::string>{"姓名"});
    EXPECT_EQ(check.message(), "数据文件里没有模板用到的列：缺少\n数据文件里有多个同名的列：姓名");
    DataTable exact({"姓名", "日期", "照片", "数量", "缺少"});
    EXPECT_TRUE(checkFields(doc, exact).ok());
}

TEST_F(MergeTest, EachRecordDrawsItsOwnValuesAndTheDocumentStaysAsItWas)
{
    const auto before = templateBytes(doc, *std::make_unique<testing::RecordingSink>());
    RecordMerge merge(table);
    std::vector<std::string> pages;
    for (int row = 0; row < 3; ++row) {
        merge.setRecord(row, row + 1);
        test::RecordingSurface surface;
        printPage(doc, surface, {}, [&](const Box& box) -> const Box& { return merge.merged(box); });
        std::string page;
        for (const auto& call : surface.drawn)
            page += call + "\n";
        pages.push_back(page);
    }
    EXPECT_EQ(pages[0], "text 0 0 To 张三 #1\ntext 0 0 plain\ntext 0 0 2024-3-5 0:0:0\ntext 0 0 1件\n");
    EXPECT_EQ(pages[1], "text 0 0 To 李四 #2\ntext 0 0 plain\ntext 0 0 2024-3-6 12:0:0\ntext 0 0 2件\n");
    EXPECT_EQ(pages[2], "text 0 0 To  #3\ntext 0 0 plain\ntext 0 0 件\n");
    EXPECT_EQ(merge.warningCount(), 3u);
    ASSERT_EQ(merge.warnings().size(), 3u);
    EXPECT_EQ(merge.warnings()[0], "第 2 条记录：图片文件“missing.jpg”不存在或不是 BMP、JPEG、GIF 图片");
    EXPECT_EQ(merge.warnings()[1], "第 3 条记录：“日期”列的“not a date”不是日期");
    EXPECT_EQ(merge.warnings()[2], "第 3 条记录：图片文件“logo.gif”不存在或不是 BMP、JPEG、GIF 图片");
    EXPECT_EQ(templateBytes(doc, *std::make_unique<testing::RecordingSink>()), before);
    EXPECT_EQ(doc.box(text).attributes.text, "To ${姓名} #${#}");
}

TEST_F(MergeTest, BarcodesTakePlaceholdersAndAWholeColumn)
{
    const int tracking = doc.addBox(BoxType::BarcodeBox, 0, 0);
    doc.box(tracking).attributes.text = "SF${#}-${数量}";
    const int name = doc.addBox(BoxType::BarcodeBox, 0, 0);
    doc.box(name).attributes.text = "typed";
    doc.box(name).dataField = "姓名";
    EXPECT_EQ(templateFields(doc), (std::vector<std::string>{"姓名", "日期", "照片", "数量"}));
    RecordMerge merge(table);
    merge.setRecord(1, 7);
    EXPECT_EQ(barcodeData(merge.merged(doc.box(tracking))), "SF7-2");
    EXPECT_EQ(barcodeData(merge.merged(doc.box(name))), "李四");
    EXPECT_EQ(barcodeData(doc.box(tracking)), "SF${#}-${数量}");
}

TEST_F(MergeTest, PicturesAreFilesBesideTheDataFile)
{
    testing::ScratchFolder folder;
    table.folder = std::filesystem::path(folder.path("x")).parent_path().string();
    testing::writeFile(folder.path("logo.gif"), "GIF89a-bytes");
    RecordMerge merge(table);
    merge.setRecord(2, 1);
    const Box& merged = merge.merged(doc.box(picture));
    EXPECT_TRUE(merged.isPrint);
    EXPECT_EQ(merged.attributes.picture, "GIF89a-bytes");
    testing::writeFile(folder.path("logo.gif"), "\x89PNG not printable");
    RecordMerge fresh(table);
    fresh.setRecord(2, 1);
    EXPECT_FALSE(fresh.merged(doc.box(picture)).isPrint);
    EXPECT_EQ(fresh.warningCount(), 1u);
    // A box without fields is passed through untouched.
    EXPECT_EQ(&fresh.merged(doc.box(label)), &doc.box(label));
}

TEST(DateField, TextFormsAndSerialNumbers)
{
    EXPECT_EQ(dateFromField("2024-03-05"), (DateTime{2024, 3, 5, 0, 0, 0}));
    EXPECT_EQ(dateFromField(" 2024/3/5 8:07:06 "), (DateTime{2024, 3, 5, 8, 7, 6}));
    EXPECT_EQ(dateFromField("2024年3月5日"), (DateTime{2024, 3, 5, 0, 0, 0}));
    EXPECT_EQ(dateFromField("45356"), (DateTime{2024, 3, 5, 0, 0, 0}));
    EXPECT_EQ(dateFromField("45356.25"), (DateTime{2024, 3, 5, 6, 0, 0}));
    EXPECT_EQ(dateFromField(""), std::nullopt);
    EXPECT_EQ(dateFromField("2024-02-30"), std::nullopt);
    EXPECT_EQ(dateFromField("tomorrow"), std::nullopt);
    EXPECT_EQ(dateFromField("0"), std::nullopt);
}

TEST(DataFieldAttribute, WrittenAfterTheTypeOnlyWhenSetAndReadBack)
{
    Document doc;
    const int date = doc.addBox(BoxType::DatePicker, 10, 10);
    const int plain = doc.addBox(BoxType::PicBox, 50, 50);
    doc.box(date).dataField = "寄件日期";
    testing::RecordingSink sink;
    testing::ScratchFolder folder;
    const std::string file = folder.path("fields.oxf");
    ASSERT_TRUE(saveDocument(doc, file, sink));
    Document loaded;
    ASSERT_TRUE(loadDocument(loaded, file, sink));
    EXPECT_EQ(loaded.box(1).dataField, "寄件日期");
    EXPECT_EQ(loaded.box(2).dataField, "");
    testing::expectSameModel(doc, loaded);
    // The description (after the last separator) names it after the date's own attributes.
    const std::string bytes = testing::readFile(file);
    const std::string xml = gbkToUtf8(decodeBase64(bytes.substr(bytes.rfind(kSegmentSeparator) + kSegmentSeparator.size())));
    EXPECT_NE(xml.find("DTFormat=\"0\" dataField=\"寄件日期\"/>"), std::string::npos) << xml;
    // Without any field the bytes are those of a template that never had one.
    doc.box(date).dataField.clear();
    Document none;
    none.addBox(BoxType::DatePicker, 10, 10);
    none.addBox(BoxType::PicBox, 50, 50);
    none.box(1).attributes = doc.box(date).attributes;
    none.box(2).attributes = doc.box(plain).attributes;
    EXPECT_EQ(templateBytes(doc, sink), templateBytes(none, sink));
}

TEST_F(MergeTest, CounterFieldsPrintTheRecordsValuesAndAPageWithoutDataPrintsNoPlaceholder)
{
    doc.box(text).attributes.text = "${#seq:单号:000000} to ${姓名}";
    EXPECT_EQ(templateCounters(doc), (std::vector<std::string>{"单号"}));
    EXPECT_TRUE(checkFields(doc, table).missing.empty());
    RecordMerge merge(table);
    merge.setRecord(1, 2);
    merge.setCounterValues({{"单号", 815}});
    EXPECT_EQ(merge.merged(doc.box(text)).attributes.text, "000815 to 李四");
    merge.setCounterValues({{"单号", 816}});
    EXPECT_EQ(merge.merged(doc.box(text)).attributes.text, "000816 to 李四");
    merge.setCounterValues({}); // no journal: the number is left out, never made up
    EXPECT_EQ(merge.merged(doc.box(text)).attributes.text, " to 李四");

    const DataTable none;
    RecordMerge page(none, /*countersOnly=*/true);
    page.setCounterValues({{"单号", 3}});
    EXPECT_EQ(page.merged(doc.box(text)).attributes.text, "000003 to ");
    EXPECT_EQ(&page.merged(doc.box(label)), &doc.box(label));
    // Formatted columns, the record number and escapes, without data.
    doc.box(text).attributes.text = "${金额|大写}|${#}|$${姓名}|${姓名";
    EXPECT_EQ(page.merged(doc.box(text)).attributes.text, "|1|${姓名}|${姓名");
    EXPECT_TRUE(page.warnings().empty());
}

// The journal keeps each box's text through printedText: it must say what
// merged() draws, for every kind of box and record, with and without data.
TEST_F(MergeTest, PrintedTextIsTheMergedBoxsTextWithoutCopyingIt)
{
    doc.box(label).attributes.text = "No.${#seq:n:000} ${姓名}";
    const int hidden = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(hidden).attributes.text = "${姓名}";
    doc.box(hidden).isPrint = false;
    const int whole = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(whole).attributes.text = "typed ${数量}";
    doc.box(whole).dataField = "姓名";
    const DataTable none;
    for (const bool countersOnly : {false, true}) {
        RecordMerge viaBox(countersOnly ? none : table, countersOnly);
        RecordMerge viaText(countersOnly ? none : table, countersOnly);
        for (int row = 0; row < 3; ++row) {
            for (RecordMerge* merge : {&viaBox, &viaText}) {
                merge->setRecord(row, row + 1);
                merge->setCounterValues({{"n", row + 40}});
            }
            for (int slot = 1; slot <= doc.slotCount(); ++slot) {
                const Box& box = doc.box(slot);
                bool printed = false;
                const std::string printedText(viaText.printedText(box, printed));
                const Box& merged = viaBox.merged(box);
                EXPECT_EQ(printedText, merged.attributes.text) << "slot " << slot << " row " << row << " " << countersOnly;
                EXPECT_EQ(printed, merged.isPrint) << "slot " << slot << " row " << row << " " << countersOnly;
            }
        }
        EXPECT_EQ(viaText.warningCount(), viaBox.warningCount());
    }
    RecordMerge merge(table);
    merge.setRecord(0, 1);
    merge.setCounterValues({{"n", 7}});
    bool printed = false;
    EXPECT_EQ(merge.printedText(doc.box(label), printed), "No.007 张三");
    EXPECT_EQ(merge.printedText(doc.box(whole), printed), "张三");
}

} // namespace
} // namespace ordavel
