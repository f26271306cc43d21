#include "file/value_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

namespace ordavel {
namespace {

TEST(ValueFormat, NumbersUsePrintfGeneralForms)
{
    EXPECT_EQ(formatPaperSize(21.0f), "21");
    EXPECT_EQ(formatPaperSize(29.7f), "29.7");
    EXPECT_EQ(formatPaperSize(1234567.0f), "1.23457e+06");
    EXPECT_EQ(formatPrintValue(2.65), "2.65");
    EXPECT_EQ(formatPrintValue(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatPrintValue(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(readNumber("2.65"), 2.65);
}

// Short values take a quicker road than long ones; both must give the same
// numbers, rounded exactly as the general decimal reader rounds them.
TEST(ValueFormat, ShortAndLongNumbersReadAlike)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 17); // across the 15-digit limit
        std::string text = std::to_string(random() % 10'000'000'000'000'000'000ull).substr(0, static_cast<std::size_t>(digits));
        text.insert(random() % (text.size() + 1), ".");
        double expected = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(readNumber(text), expected) << text;
        ASSERT_EQ(readNumber("-" + text), -expected) << text;
    }
    EXPECT_TRUE(std::signbit(readNumber("-0.0")));
    EXPECT_EQ(readNumber("0.1"), 0.1);
    EXPECT_EQ(readNumber("123456789012345.6"), 123456789012345.6);

    EXPECT_EQ(readInt("999999999"), 999999999);
    EXPECT_EQ(readInt("2147483647"), 2147483647);
    EXPECT_EQ(readInt("2147483648"), 2147483647);
    EXPECT_EQ(readInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(readInt("+12"), 12);
    EXPECT_EQ(readInt("-"), 0);
    EXPECT_EQ(readInt("0000000000007"), 7);
}

TEST(ValueFormat, LeadingNumbersReadZeroWhenAbsent)
{
    EXPECT_EQ(readInt("42px"), 42);
    EXPECT_EQ(readInt("-7"), -7);
    EXPECT_EQ(readInt("12.9"), 12);
    EXPECT_EQ(readInt(""), 0);
    EXPECT_EQ(readInt("x1"), 0);
    EXPECT_EQ(readInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(readInt("-99999999999"), -2147483647 - 1);

    EXPECT_EQ(readNumber("2.65cm"), 2.65);
    EXPECT_EQ(readNumber("-.5"), -0.5);
    EXPECT_EQ(readNumber("1e3"), 1000.0);
    EXPECT_EQ(readNumber("1e"), 1.0);
    EXPECT_EQ(readNumber("."), 0.0);
    EXPECT_EQ(readNumber("inf"), 0.0);
    EXPECT_EQ(readNumber("nan"), 0.0);
    EXPECT_EQ(readNumber("1e999"), 0.0);
    EXPECT_EQ(readTruncatedNumber("794.9"), 794);
    EXPECT_EQ(readTruncatedNumber("-3.7"), -3);
    EXPECT_EQ(readTruncatedNumber("1e300"), 2147483647);

    EXPECT_EQ(readColor("16777215"), kWhite);
    EXPECT_EQ(readColor("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(readColor("-1"), 0xFFFFFFFFu);
    EXPECT_TRUE(readFlag("1"));
    EXPECT_FALSE(readFlag("1 "));
    EXPECT_FALSE(readFlag("true"));
}

TEST(ValueFormat, DateTimeTextDropsTrailingZeroParts)
{
    EXPECT_EQ(formatDateTime({2024, 3, 5, 14, 7, 9}), "2024年3月5日14时7分9秒");
    EXPECT_EQ(formatDateTime({2024, 3, 5, 0, 0, 9}), "2024年3月5日0时0分9秒");
    EXPECT_EQ(formatDateTime({2024, 3, 5, 14, 7, 0}), "2024年3月5日14时7分");
    EXPECT_EQ(formatDateTime({2024, 3, 5, 0, 7, 0}), "2024年3月5日0时7分");
    EXPECT_EQ(formatDateTime({2024, 3, 5, 14, 0, 0}), "2024年3月5日14时");
    EXPECT_EQ(formatDateTime({2024, 3, 5, 0, 0, 0}), "2024年3月5日");
}

TEST(ValueFormat, DateTimeReadsEveryWrittenFormAndOtherSeparators)
{
    const DateTime samples[] = {{2024, 3, 5, 14, 7, 9}, {2024, 3, 5, 0, 0, 9}, {2024, 3, 5, 14, 7, 0},
                                {2024, 3, 5, 14, 0, 0}, {100, 1, 1, 0, 0, 0},  {9999, 12, 31, 23, 59, 59},
                                {2000, 2, 29, 0, 30, 0}};
    for (const DateTime& d : samples)
        EXPECT_EQ(readDateTime(formatDateTime(d)), d) << formatDateTime(d);
    const DateTime march5{2024, 3, 5, 0, 0, 0};
    for (const char* text : {"2024-3-5", "2024.03.05", "2024/3/5", "2024:3:5", "2024-3-5日"})
        EXPECT_EQ(readDateTime(text), march5) << text;
    EXPECT_EQ(readDateTime("2024-3-5 14:07:09"), (DateTime{2024, 3, 5, 14, 7, 9}));
}

TEST(ValueFormat, UnreadableDateTimeIsFirstJanuaryOfYear100)
{
    const DateTime earliest{100, 1, 1, 0, 0, 0};
    for (const char* text : {"", "abc", "2024年3月", "2023年2月29日", "2024年13月1日", "2024年1月1日25时",
                             "99年1月1日", "2024年1月1日x", "2024年3-5"})
        EXPECT_EQ(readDateTime(text), earliest) << text;
}

} // namespace
} // namespace ordavel
