// Record lists, copies per record and the list that resumes a batch.
#include "data/record_list.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

std::vector<int> numbers(const RecordSelection& selection)
{
    std::vector<int> out;
    for (const int row : selection.rows)
        out.push_back(row + 1);
    return out;
}

TEST(RecordList, NumbersAndRangesInTheOrderGiven)
{
    EXPECT_EQ(numbers(parseRecordList("1-3,7, 9 - 10", 10)), (std::vector<int>{1, 2, 3, 7, 9, 10}));
    EXPECT_EQ(numbers(parseRecordList("8-,2", 10)), (std::vector<int>{8, 9, 10, 2}));
    EXPECT_EQ(numbers(parseRecordList("", 3)), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(numbers(parseRecordList("2,2", 3)), (std::vector<int>{2, 2}));
    const RecordSelection big = parseRecordList("1-50,75,100-", 120);
    EXPECT_EQ(big.rows.size(), 50u + 1u + 21u);
    EXPECT_EQ(big.rows[50], 74);
    EXPECT_EQ(big.rows.back(), 119);
}

TEST(RecordList, BadPiecesAreNamed)
{
    const struct {
        const char* list;
        const char* error;
    } cases[] = {
        {"0", "记录范围“0”不对：记录号从 1 数起"},
        {"5-3", "记录范围“5-3”不对：范围的结尾小于开头"},
        {"1,11", "记录范围“11”不对：只有 10 条记录"},
        {"9-12", "记录范围“9-12”不对：只有 10 条记录"},
        {"11-", "记录范围“11-”不对：只有 10 条记录"},
        {"1,,2", "记录范围“”不对：应当是记录号或范围，例如 1-50,75,100-"},
        {"a-3", "记录范围“a-3”不对：应当是记录号或范围，例如 1-50,75,100-"},
        {"-3", "记录范围“-3”不对：应当是记录号或范围，例如 1-50,75,100-"},
        {"1.5", "记录范围“1.5”不对：应当是记录号或范围，例如 1-50,75,100-"},
    };
    for (const auto& c : cases) {
        const RecordSelection selection = parseRecordList(c.list, 10);
        EXPECT_EQ(selection.error, c.error) << c.list;
        EXPECT_TRUE(selection.rows.empty()) << c.list;
    }
}

DataTable copiesTable()
{
    DataTable table({"单号", "数量"});
    for (const char* copies : {"2", "", "0", " 3 "}) {
        table.appendCell("x");
        table.appendCell(copies);
        table.endRecord();
    }
    return table;
}

TEST(BatchPlan, CopiesComeFromAColumn)
{
    const DataTable table = copiesTable();
    std::string error;
    const auto items = planBatch(table, {3, 0, 1, 2}, "数量", error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(items, (std::vector<BatchItem>{{3, 1, 3}, {0, 2, 2}, {1, 3, 1}, {2, 4, 0}}));
    const auto plain = planBatch(table, {1, 2}, "", error);
    EXPECT_EQ(plain, (std::vector<BatchItem>{{1, 1, 1}, {2, 2, 1}}));
}

TEST(BatchPlan, BadCopiesAreErrors)
{
    DataTable table({"数量"});
    for (const char* copies : {"1", "-1", "2.5", "abc", "10000"}) {
        table.appendCell(copies);
        table.endRecord();
    }
    std::string error;
    EXPECT_TRUE(planBatch(table, {0, 1}, "数量", error).empty());
    EXPECT_EQ(error, "第 2 条记录的“数量”列：份数应当是 0 到 9999 的整数，不是“-1”");
    for (const int row : {2, 3, 4}) {
        EXPECT_TRUE(planBatch(table, {row}, "数量", error).empty());
        EXPECT_NE(error.find("第 " + std::to_string(row + 1) + " 条记录"), std::string::npos) << error;
    }
    EXPECT_TRUE(planBatch(table, {0}, "份数", error).empty());
    EXPECT_EQ(error, "数据文件里没有份数列“份数”");
}

TEST(BatchPlan, TheRestOfABatchAsARecordList)
{
    const std::vector<BatchItem> items{{0, 1, 1}, {1, 2, 1}, {2, 3, 1}, {9, 4, 1}, {4, 5, 1}, {5, 6, 1}};
    EXPECT_EQ(recordListOf(items, 0), "1-3,10,5-6");
    EXPECT_EQ(recordListOf(items, 2), "3,10,5-6");
    EXPECT_EQ(recordListOf(items, 5), "6");
    EXPECT_EQ(recordListOf(items, 6), "");
    // The list selects the same rows again.
    EXPECT_EQ(parseRecordList(recordListOf(items, 1), 10).rows, (std::vector<int>{1, 2, 9, 4, 5}));
}

} // namespace
} // namespace ordavel
