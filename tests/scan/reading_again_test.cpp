// Which captions as read are worth a second reading.
#include "scan/field_layout.h"

#include <gtest/gtest.h>

namespace ordavel::scan::layout {
namespace {

constexpr int kLine = 30; // the page's character height, px

TEST(ReadingAgain, OnlyDoubtfulChineseNonCaptionsOfTwoToSevenCharactersAreReadAgain)
{
    // 数曹 is no caption (数量 misread) and was read with doubt.
    EXPECT_TRUE(worthReadingAgain("数曹", 80, kLine, kLine));
    // Read surely, a caption off the dictionary is printed so.
    EXPECT_FALSE(worthReadingAgain("医疗机构类型", 97, kLine, kLine));
    EXPECT_TRUE(worthReadingAgain("医疗机构类型", 94.9, kLine, kLine));
    // A caption of the dictionary needs nothing more.
    EXPECT_FALSE(worthReadingAgain("数量", 60, kLine, kLine));
    // One character tells too little, eight are no caption of the dictionary;
    // Latin text goes to the other reading.
    EXPECT_FALSE(worthReadingAgain("数", 60, kLine, kLine));
    EXPECT_TRUE(worthReadingAgain("一二三四五六七", 60, kLine, kLine));
    EXPECT_FALSE(worthReadingAgain("一二三四五六七八", 60, kLine, kLine));
    EXPECT_FALSE(worthReadingAgain("Qty", 60, kLine, kLine));
}

TEST(ReadingAgain, PhrasesFarFromTheLinesHeightAreNoCaptions)
{
    // Specks read as characters, and a stamp.
    EXPECT_FALSE(worthReadingAgain("数曹", 80, kLine / 2 - 1, kLine));
    EXPECT_TRUE(worthReadingAgain("数曹", 80, kLine / 2, kLine));
    EXPECT_TRUE(worthReadingAgain("数曹", 80, kLine * 2, kLine));
    EXPECT_FALSE(worthReadingAgain("数曹", 80, kLine * 2 + 1, kLine));
}

} // namespace
} // namespace ordavel::scan::layout
