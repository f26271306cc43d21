// Misread captions are mended only when one common caption is clearly nearest.
#include "scan/caption_dictionary.h"

#include <gtest/gtest.h>

namespace ordavel::scan {
namespace {

TEST(CaptionDictionary, EditDistanceCountsCodePointsAndStopsPastTheLimit)
{
    EXPECT_EQ(editDistance(U"医保类曹", U"医保类型", 3), 1);
    EXPECT_EQ(editDistance(U"收款人", U"收款", 3), 1);
    EXPECT_EQ(editDistance(U"", U"账号", 3), 2);
    EXPECT_EQ(editDistance(U"kitten", U"sitting", 5), 3);
    // Beyond the limit only "more than the limit" is promised.
    EXPECT_GT(editDistance(U"abcdefgh", U"zyxwvuts", 2), 2);
    EXPECT_GT(editDistance(U"a", U"abcdef", 2), 2);
}

TEST(CaptionDictionary, MendsAMisreadingWhenOneEntryIsNearest)
{
    const CaptionDictionary& common = CaptionDictionary::common();
    EXPECT_GT(common.size(), 300u);
    EXPECT_EQ(common.correct("医保类曹"), "医保类型");
    EXPECT_EQ(common.correct("收款单伩"), "收款单位");
    EXPECT_EQ(common.correct("Acc0unt Number"), "Account Number");
    // Case as read: a lower-case second word stays lower case.
    EXPECT_EQ(common.correct("Acc0unt number"), "Account number");
    EXPECT_EQ(common.correct("Telephane"), "Telephone");
    // A remark in brackets is kept as read.
    EXPECT_EQ(common.correct("联系电话(非常重要)"), "联系电话(非常重要)");
    EXPECT_EQ(common.correct("联系电适(非常重要)"), "联系电话(非常重要)");
    EXPECT_EQ(common.correct("Telephane (home)"), "Telephone (home)");
}

TEST(CaptionDictionary, LeavesCaptionsAloneWhenUnsure)
{
    const CaptionDictionary& common = CaptionDictionary::common();
    // Entries and captions far from every entry stay as they are.
    EXPECT_EQ(common.correct("收款人"), "收款人");
    EXPECT_EQ(common.correct("Customer ID"), "Customer ID");
    EXPECT_EQ(common.correct("本人确认以上信息真实有效"), "本人确认以上信息真实有效");
    EXPECT_EQ(common.correct(""), "");
    // Two characters leave no room for a misreading: 品名 is no 姓名 misread.
    EXPECT_EQ(common.correct("品种"), "品种");
    // Equally near two entries (寄件人 and 收件人): not sure, not mended.
    EXPECT_EQ(common.correct("x件人"), "x件人");
    // A longer caption built on an entry is a caption of its own.
    EXPECT_EQ(common.correct("个人支付金额"), "个人支付金额");
    EXPECT_EQ(common.correct("其他医保支付"), "其他医保支付");
    EXPECT_EQ(common.correct("收款人签"), "收款人签");
    EXPECT_EQ(common.correct("Mobile no"), "Mobile no");
    // Case alone is no misreading, but a caption starts with a capital.
    EXPECT_EQ(common.correct("ACCOUNT NUMBER"), "ACCOUNT NUMBER");
    EXPECT_EQ(common.correct("item"), "Item");
    EXPECT_EQ(common.correct("road name"), "Road name");
    EXPECT_EQ(common.correct("¥"), "¥");
}

TEST(CaptionDictionary, ReadsItsOwnLinesSkippingNotesAndBlanks)
{
    const CaptionDictionary small("# a note\n\n  开户银行  \r\n开户行\nUnit Price\n");
    EXPECT_EQ(small.size(), 3u);
    EXPECT_EQ(small.correct("开户银衍"), "开户银行");
    // 开户行 is one edit from 开户银 and so is 开户银行: not sure.
    EXPECT_EQ(small.correct("开户银"), "开户银");
    EXPECT_EQ(small.correct("Unit Prise"), "Unit Price");
    EXPECT_EQ(small.correct("A note"), "A note");
}

TEST(CaptionDictionary, TellsEntriesAndTheEntryACaptionEndsIn)
{
    const CaptionDictionary small("开户银行\n银行\nUnit Price\n行\n");
    // Blanks and case aside, a remark in brackets aside too.
    EXPECT_TRUE(small.isEntry("开户 银行"));
    EXPECT_TRUE(small.isEntry("unit price"));
    EXPECT_TRUE(small.isEntry("开户银行(必填)"));
    EXPECT_FALSE(small.isEntry("开户银"));
    EXPECT_FALSE(small.isEntry("(开户银行)"));
    EXPECT_FALSE(small.isEntry(""));
    // The longest entry ending the caption, as the entry is written; one
    // character alone is too little to tell.
    EXPECT_EQ(small.entryEnding("一开户银行"), "开户银行");
    EXPECT_EQ(small.entryEnding("中国银行"), "银行");
    EXPECT_EQ(small.entryEnding("the unitprice"), "Unit Price");
    EXPECT_EQ(small.entryEnding("单行"), "");
    EXPECT_EQ(small.entryEnding("行"), "");
}

TEST(CaptionDictionary, AllowsOneEditInThreeChineseCharactersAndOneInFourLetters)
{
    EXPECT_EQ(CaptionDictionary::allowedEdits(2, true), 0);
    EXPECT_EQ(CaptionDictionary::allowedEdits(3, true), 1);
    EXPECT_EQ(CaptionDictionary::allowedEdits(6, true), 2);
    EXPECT_EQ(CaptionDictionary::allowedEdits(3, false), 0);
    EXPECT_EQ(CaptionDictionary::allowedEdits(8, false), 2);
}

} // namespace
} // namespace ordavel::scan
