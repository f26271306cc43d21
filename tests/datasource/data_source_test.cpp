// Data files read into tables: real CSV, TSV, JSON and XLSX files under
// tests/data (their sources in tests/data/README.md).
#include "data/data_source.h"
#include "data/delimited_source.h"
#include "data/xlsx_source.h"
#include "file/gbk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ordavel {
namespace {

std::string recordsFile(const std::string& name) { return std::string(ORDAVEL_TEST_DATA) + "/records/" + name; }
std::string xlsxFile(const std::string& name) { return std::string(ORDAVEL_TEST_DATA) + "/xlsx/" + name; }

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Rows as "a|b|c" lines, the column names first.
std::vector<std::string> rowsOf(const DataTable& table)
{
    std::vector<std::string> rows;
    const auto line = [](auto&& values) {
        std::string text;
        for (std::size_t i = 0; i < values.size(); ++i)
            text += (i ? "|" : "") + std::string(values[i]);
        return text;
    };
    rows.push_back(line(table.columns()));
    for (int r = 0; r < table.recordCount(); ++r) {
        std::vector<std::string_view> values;
        for (int c = 0; c < table.columnCount(); ++c)
            values.push_back(table.value(r, c));
        rows.push_back(line(values));
    }
    return rows;
}

const std::vector<std::string> kOrders = {
    "单号|收件人|地址|电话|数量|寄件日期",
    "SF1001|张三|北京市海淀区中关村大街1号|13800000001|1|2024-03-05",
    "SF1002|李四|上海市浦东新区世纪大道100号|13900000002|2|2024-03-06",
    "SF1003|王五|广州市天河区体育西路3号|13700000003|0|2024-03-07",
};

class SameOrders : public ::testing::TestWithParam<const char*> {};

TEST_P(SameOrders, ReadWithDetectedEncodingAndDelimiter)
{
    const DataReadResult read = readDataFile(recordsFile(GetParam()), "");
    ASSERT_TRUE(read.ok()) << read.error;
    std::vector<std::string> expected = kOrders;
    if (std::string(GetParam()) == "orders-gbk.csv")
        expected[1] = "SF1001|张三·|北京市海淀区中关村大街1号|13800000001|1|2024-03-05";
    EXPECT_EQ(rowsOf(read.table), expected);
    // The same folder, as the system spells an absolute path.
    EXPECT_TRUE(std::filesystem::path(read.table.folder).is_absolute()) << read.table.folder;
    EXPECT_TRUE(std::filesystem::equivalent(read.table.folder, std::string(ORDAVEL_TEST_DATA) + "/records"))
        << read.table.folder;
}

INSTANTIATE_TEST_SUITE_P(CsvTsvJson, SameOrders,
                         ::testing::Values("orders-utf8.csv", "orders-bom.csv", "orders-gbk.csv", "orders.tsv",
                                           "orders-semicolon.csv"));

TEST(DelimitedSource, QuotedFieldsKeepCommasLineBreaksAndQuotes)
{
    const DataReadResult read = readDataFile(recordsFile("quoted.csv"), "");
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.table.recordCount(), 2); // the blank line is skipped
    EXPECT_EQ(read.table.value(0, 0), "Smith, John");
    EXPECT_EQ(read.table.value(0, 1), "12 High St\r\nFlat 3");
    EXPECT_EQ(read.table.value(0, 2), "says \"hi\"");
    EXPECT_EQ(rowsOf(read.table)[2], "Plain||");
}

TEST(DelimitedSource, ShortRowsArePaddedAndTrailingEmptyValuesIgnored)
{
    const DataReadResult read = readDataFile(recordsFile("ragged.csv"), "");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(rowsOf(read.table), (std::vector<std::string>{"a|b|c", "1|2|", "4|5|6", "7||"}));
}

TEST(DelimitedSource, BadInputNamesLineAndField)
{
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"too-many.csv", "第 3 行第 3 列：这一行的值比列名多（只有 2 个列名）"},
        {"unclosed.csv", "第 3 行第 2 列：引号没有闭合"},
        {"after-quote.csv", "第 2 行第 2 列：引号后面还有文字"},
        {"empty.csv", "数据文件是空的，没有列名"},
    };
    for (const auto& c : cases) {
        const DataReadResult read = readDataFile(recordsFile(c.file), "");
        EXPECT_EQ(read.error, c.message) << c.file;
        EXPECT_EQ(read.table.recordCount(), 0) << c.file;
    }
    EXPECT_EQ(readDataFile(recordsFile("no-such-file.csv"), "").error,
              "数据文件读不出来：" + recordsFile("no-such-file.csv"));
}

TEST(DelimitedSource, DuplicateAndEmptyColumnNamesAreKept)
{
    const DataReadResult read = readDataFile(recordsFile("duplicate-columns.csv"), "");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.table.columns(), (std::vector<std::string>{"名称", "", "名称", "备注"}));
    EXPECT_EQ(read.table.duplicateColumns(), std::vector<std::string>{"名称"});
    EXPECT_EQ(read.table.columnIndex("名称"), 0);
    EXPECT_EQ(read.table.columnIndex(""), 1);
    const DataReadResult headerOnly = readDataFile(recordsFile("header-only.csv"), "");
    ASSERT_TRUE(headerOnly.ok());
    EXPECT_EQ(headerOnly.table.columnCount(), 2);
    EXPECT_EQ(headerOnly.table.recordCount(), 0);
}

TEST(DelimitedSource, DetectsTheMostFrequentDelimiterOutsideQuotes)
{
    EXPECT_EQ(detectDelimiter("a;b;c\n1,2"), ';');
    EXPECT_EQ(detectDelimiter("\"x,y,z\";b\n"), ';');
    EXPECT_EQ(detectDelimiter("a\tb,c\td"), '\t');
    EXPECT_EQ(detectDelimiter("a,b;c\tx"), ',');  // a tie goes to the comma
    EXPECT_EQ(detectDelimiter("single"), ',');
}

TEST(DelimitedSource, InvalidUtf8IsReadAsGbk)
{
    EXPECT_EQ(decodeDataText("\xEF\xBB\xBF" "abc"), "abc");
    EXPECT_EQ(decodeDataText("\xD6\xD0\xCE\xC4"), "中文");   // GBK
    EXPECT_EQ(decodeDataText("\x81\x30\x81\x30"), "\xC2\x80"); // GB18030 four bytes: U+0080
    EXPECT_EQ(decodeDataText("中文"), "中文");
    // A UTF-8 surrogate is not UTF-8, so the whole text is GBK.
    EXPECT_EQ(decodeDataText("a\xED\xA0\x80"), gbkToUtf8("a\xED\xA0\x80"));
}

TEST(JsonSource, ArrayAndLinesGiveTheSameTable)
{
    const DataReadResult array = readDataFile(recordsFile("orders.json"), "");
    const DataReadResult lines = readDataFile(recordsFile("orders.jsonl"), "");
    ASSERT_TRUE(array.ok()) << array.error;
    ASSERT_TRUE(lines.ok()) << lines.error;
    EXPECT_EQ(rowsOf(array.table), rowsOf(lines.table));
    // Numbers as their JSON text; the key only the last object has is a column; null is empty.
    std::vector<std::string> expected = kOrders;
    expected[0] += "|备注";
    for (std::size_t i = 1; i < expected.size(); ++i)
        expected[i] += "|";
    EXPECT_EQ(rowsOf(array.table), expected);
}

TEST(JsonSource, BadInputNamesLineAndColumn)
{
    EXPECT_EQ(readDataFile(recordsFile("bad.json"), "").error, "第 3 行第 10 列：不是正确的 JSON");
    EXPECT_EQ(readDataFile(recordsFile("not-objects.jsonl"), "").error, "第 2 行：这一行不是一个对象");
    EXPECT_EQ(readDataBytes("[1]", DataKind::Json, "").error, "第 1 条记录不是一个对象");
    EXPECT_EQ(readDataBytes(" \n", DataKind::Json, "").error, "数据文件是空的，没有列名");
    // A number no double holds is refused where it stands, in either form.
    EXPECT_EQ(readDataBytes("[{\"a\": 1},\n {\"a\": 1e999}]", DataKind::Json, "").error,
              "第 2 行第 8 列：数字太大，超出了能读的范围");
    EXPECT_EQ(readDataBytes("{\"a\": 1}\n{\"a\": -9e9999}", DataKind::Json, "").error,
              "第 2 行第 7 列：数字太大，超出了能读的范围");
    const DataReadResult nested = readDataBytes(R"([{"a": {"b": [1, true]}, "c": 1.5}])", DataKind::Json, "");
    ASSERT_TRUE(nested.ok());
    EXPECT_EQ(nested.table.value(0, 0), R"({"b":[1,true]})");
    EXPECT_EQ(nested.table.value(0, 1), "1.5");
}

TEST(DataSource, StandardInputIsRecognisedByItsContent)
{
    EXPECT_EQ(dataKindOf("-", bytesOf(recordsFile("orders.xlsx"))), DataKind::Xlsx);
    EXPECT_EQ(dataKindOf("-", "\xEF\xBB\xBF [{}]"), DataKind::Json);
    EXPECT_EQ(dataKindOf("-", "{\"a\":1}\n"), DataKind::Json);
    EXPECT_EQ(dataKindOf("-", "a,b\n"), DataKind::Delimited);
    EXPECT_EQ(dataKindOf("x.XLSX", ""), DataKind::Xlsx);
    EXPECT_EQ(dataKindOf("x.ndjson", ""), DataKind::Json);
    EXPECT_EQ(dataKindOf("x.txt", "[1]"), DataKind::Delimited);
}

// orders.xlsx was written by openpyxl (tests/data/records/make_orders_xlsx.py).
TEST(XlsxSource, ValuesAsTheSpreadsheetShowsThem)
{
    const DataReadResult read = readDataFile(recordsFile("orders.xlsx"), "");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(rowsOf(read.table), (std::vector<std::string>{
                                      "单号|收件人|金额|数量|寄件日期|备注|比例",
                                      "SF1001|张三|1,234.50|1|2024-03-05||25%",
                                      "SF1002|李四|0.30|2|2024-03-06 09:05:00|易碎|100%",
                                      "SF1003|王五|7.00|0|2024-03-07|第一行\n第二行|50%",
                                  }));
}

TEST(XlsxSource, SheetsAreChosenByName)
{
    const std::string bytes = bytesOf(recordsFile("orders.xlsx"));
    EXPECT_EQ(xlsxSheetNames(bytes), (std::vector<std::string>{"订单", "退货"}));
    const DataReadResult returns = readDataBytes(bytes, DataKind::Xlsx, "退货");
    ASSERT_TRUE(returns.ok()) << returns.error;
    EXPECT_EQ(rowsOf(returns.table), (std::vector<std::string>{"单号|原因", "SF0999|地址不详"}));
    EXPECT_EQ(readDataBytes(bytes, DataKind::Xlsx, "Sheet9").error, "没有名为“Sheet9”的工作表（有：订单、退货）");
}

TEST(XlsxSource, SheetNamesOfAFile)
{
    EXPECT_EQ(dataSheetNames(recordsFile("orders.xlsx")), (std::vector<std::string>{"订单", "退货"}));
    EXPECT_EQ(dataSheetNames(xlsxFile("whitespace_trim.xlsx")),
              (std::vector<std::string>{"inlineStr", "SharedStrings"}));
    // Other kinds, a workbook that is not a ZIP file and a file that is not there: none.
    EXPECT_TRUE(dataSheetNames(recordsFile("orders-utf8.csv")).empty());
    EXPECT_TRUE(dataSheetNames(xlsxFile("pass_protected.xlsx")).empty());
    EXPECT_TRUE(dataSheetNames(recordsFile("missing.xlsx")).empty());
    // A read says which sheet it took: the one named, else the first; none for other kinds.
    EXPECT_EQ(readDataFile(recordsFile("orders.xlsx"), "").sheet, "订单");
    EXPECT_EQ(readDataFile(recordsFile("orders.xlsx"), "退货").sheet, "退货");
    EXPECT_EQ(readDataFile(recordsFile("orders-utf8.csv"), "").sheet, "");
}

// Workbooks from other producers (tests/data/xlsx/README.md).
TEST(XlsxSource, WorkbooksOfOtherProducers)
{
    const struct {
        const char* file;
        std::vector<std::string> firstRows;
    } cases[] = {
        // Serial dates in both date systems, and elapsed time [hh]:mm:ss.
        {"date.xlsx", {"2021-01-01|15", "2021-01-02|16", "255:10:10|17"}},
        {"date_1904.xlsx", {"2021-01-01|15", "2021-01-02|16", "255:10:10|17"}},
        {"has_x000D_.xlsx", {"ABC\r\nDEF"}},
        {"inlineStr_cdata.xlsx", {"Hello CDATA|World", "12345|NormalText"}},
        {"nonstandard-xml-ns-prefix.xlsx", {"a|b", "1|3", "2|4"}},
        {"whitespace_trim.xlsx", {"  trimmed value  |\t\n value with tabs \n| \t\n|clean text"}},
    };
    for (const auto& c : cases) {
        const DataReadResult read = readDataFile(xlsxFile(c.file), "");
        ASSERT_TRUE(read.ok()) << c.file << ": " << read.error;
        std::vector<std::string> rows = rowsOf(read.table);
        rows.resize(std::min(rows.size(), c.firstRows.size()));
        EXPECT_EQ(rows, c.firstRows) << c.file;
    }
    const DataReadResult strict = readDataFile(xlsxFile("strict_iso_paths.xlsx"), "");
    ASSERT_TRUE(strict.ok()) << strict.error;
    EXPECT_EQ(strict.table.columnCount(), 18);
    EXPECT_EQ(strict.table.value(0, 0), "150-031260-001_B");
}

TEST(XlsxSource, UnreadableWorkbooksSayWhy)
{
    EXPECT_EQ(readDataFile(xlsxFile("pass_protected.xlsx"), "").error,
              "这不是 XLSX 文件：文件设置了密码，或是旧的 XLS 格式，请另存为 XLSX 或 CSV");
    EXPECT_EQ(readDataFile(xlsxFile("empty_sheet.xlsx"), "").error, "工作表是空的，没有列名");
    EXPECT_EQ(readDataBytes("PK\x03\x04 not really", DataKind::Xlsx, "").error, "这不是 XLSX 文件（不是 ZIP 压缩包）");
}

TEST(XlsxSource, NumberFormatsAndSerialDates)
{
    EXPECT_EQ(formatSpreadsheetNumber(0.1 + 0.2, "General"), "0.3");
    EXPECT_EQ(formatSpreadsheetNumber(1234567.891, "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(formatSpreadsheetNumber(-1234.5, "#,##0"), "-1,235");
    EXPECT_EQ(formatSpreadsheetNumber(0.125, "0.0%"), "12.5%");
    EXPECT_EQ(formatSpreadsheetNumber(42, "[$¥-804]#,##0.00"), "¥42.00");
    EXPECT_EQ(formatSpreadsheetNumber(5, "0\"件\""), "5件");
    EXPECT_EQ(formatSpreadsheetNumber(12345678901234.0, "@"), "12345678901234");
    EXPECT_EQ(serialDateText(1, false, false), "1900-01-01");
    EXPECT_EQ(serialDateText(59, false, false), "1900-02-28");
    EXPECT_EQ(serialDateText(61, false, false), "1900-03-01");
    EXPECT_EQ(serialDateText(44197.5, false, true), "2021-01-01 12:00:00");
    EXPECT_EQ(serialDateText(42735, true, false), "2021-01-01");
    EXPECT_EQ(serialDateText(0.9999999, false, true), "");  // before 1900-01-01
    EXPECT_EQ(serialDateText(44197.99999999, false, true), "2021-01-02 00:00:00");
}

} // namespace
} // namespace ordavel
