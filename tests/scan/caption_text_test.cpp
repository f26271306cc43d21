// Captions as read become tidy captions and data column names.
#include "scan/scan_analysis.h"

#include <gtest/gtest.h>

namespace ordavel::scan {
namespace {

TEST(CaptionText, TidyingDropsColonsMarksAndBlanksBetweenChineseCharacters)
{
    EXPECT_EQ(tidyCaption("  姓 名 ："), "姓名");
    EXPECT_EQ(tidyCaption("Customer ID:"), "Customer ID");
    EXPECT_EQ(tidyCaption("Account Number:!"), "Account Number");
    EXPECT_EQ(tidyCaption("Name-"), "Name");
    // Blanks between words stay, one each.
    EXPECT_EQ(tidyCaption("Tel   (off)"), "Tel (off)");
    EXPECT_EQ(tidyCaption("Pin code"), "Pin code");
    // A bar read for the pronoun I, and bracket shapes read for round ones.
    EXPECT_EQ(tidyCaption("| wish to change"), "I wish to change");
    EXPECT_EQ(tidyCaption("Tel {off)"), "Tel (off)");
    // Full-width letters and digits are plain; the full-width yen is the plain one.
    EXPECT_EQ(tidyCaption("ＡＢ１２"), "AB12");
    EXPECT_EQ(tidyCaption("￥"), "¥");
    EXPECT_EQ(tidyCaption(""), "");
    EXPECT_EQ(tidyCaption(" : "), "");
}

TEST(CaptionText, ColumnNamesLoseRemarksAndPunctuation)
{
    EXPECT_EQ(columnNameFor("联系电话(非常重要)"), "联系电话");
    EXPECT_EQ(columnNameFor("联系电话（非常重要）："), "联系电话");
    EXPECT_EQ(columnNameFor("项目/规格"), "项目规格");
    EXPECT_EQ(columnNameFor("收款人(签章)"), "收款人");
    EXPECT_EQ(columnNameFor("Tel (off)"), "Tel");
    EXPECT_EQ(columnNameFor("Flat no/Bldg name"), "Flat noBldg name");
    EXPECT_EQ(columnNameFor("Ext .no"), "Ext no");
    // Braces would end a placeholder early: read as brackets, they never reach a column name.
    EXPECT_EQ(columnNameFor("a{b}c$"), "ac");
    // A symbol that is the whole caption stays; nothing left gives the generic name.
    EXPECT_EQ(columnNameFor("¥"), "¥");
    EXPECT_EQ(columnNameFor("(备注)"), "字段");
    EXPECT_EQ(columnNameFor(""), "字段");
    // An unclosed bracket drops the rest rather than keeping half a remark.
    EXPECT_EQ(columnNameFor("金额(元"), "金额");
    // Broken UTF-8 does not survive into a name.
    EXPECT_EQ(columnNameFor(std::string("A\xE5") + "B"), "AB");
}

TEST(CaptionText, RepeatedColumnsAreNumbered)
{
    std::vector<ProposedField> fields(5);
    const char* names[] = {"姓名", "Name", "姓名", "姓名", "姓名2"};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i].column = names[i];
    makeColumnsUnique(fields);
    EXPECT_EQ(fields[0].column, "姓名");
    EXPECT_EQ(fields[1].column, "Name");
    EXPECT_EQ(fields[2].column, "姓名2");
    EXPECT_EQ(fields[3].column, "姓名3");
    // A caption that already reads like a numbered one is numbered in its turn.
    EXPECT_NE(fields[4].column, "姓名2");
    EXPECT_NE(fields[4].column, "姓名3");
}

} // namespace
} // namespace ordavel::scan
