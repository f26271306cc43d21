// Cheque dates and date patterns, every day of 2000 to 2040 against month and
// day names written out here.
#include "field_format/cheque_date.h"
#include "field_format/field_format.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

namespace ordavel {
namespace {

std::string formatted(std::string_view value, std::string_view format)
{
    const FormatResult result = formatValue(value, format);
    return result.ok ? result.text : "refused";
}

TEST(ChequeDate, WritesTheDateAsAChequeRequiresAndRefusesDaysThatNeverWere)
{
    EXPECT_EQ(formatted("2026-01-15", "票据日期"), "贰零贰陆年零壹月壹拾伍日");
    EXPECT_EQ(formatted("2026-10-20", "票据日期"), "贰零贰陆年零壹拾月零贰拾日");
    EXPECT_EQ(formatted("2026/12/31", "票据日期"), "贰零贰陆年壹拾贰月叁拾壹日");
    EXPECT_EQ(formatted("20260310", "票据日期"), "贰零贰陆年叁月零壹拾日");
    EXPECT_EQ(formatted("46023", "票据日期"), "贰零贰陆年零壹月零壹日"); // a spreadsheet's 2026-01-01
    EXPECT_EQ(formatted("46023.75", "日期:yyyy-MM-dd"), "2026-01-01");
    // A date typed with a digit missing is refused, not read as a serial centuries away.
    for (const char* refused : {"2026-11-31", "2026-02-29", "2026-13-01", "20261131", "2026-1", "26-01-01", "x", "60",
                                "2026115", "202601", "100000"})
        EXPECT_EQ(formatted(refused, "票据日期"), "refused") << refused;
    EXPECT_EQ(formatted("2024-02-29", "票据日期"), "贰零贰肆年零贰月贰拾玖日");

    EXPECT_EQ(formatted("2026-3-7", "日期:yyyy年M月d日"), "2026年3月7日");
    EXPECT_EQ(formatted("2026-03-07", "日期:yy/MM/dd"), "26/03/07");
    EXPECT_EQ(formatted("2026-11-20", "日期:d.M.yyyy"), "20.11.2026");
    EXPECT_EQ(formatted("2026-11-20", "日期:"), "refused") << "a pattern that prints nothing is a mistake";
    EXPECT_EQ(formatted("", "日期:"), "refused");
}

TEST(ChequeDate, EveryDayFrom2000To2040AgreesWithTheNamesWrittenOut)
{
    static const std::array<std::string, 10> digit = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
    static const std::array<std::string, 12> months = {"零壹", "零贰", "叁", "肆", "伍", "陆",
                                                       "柒", "捌", "玖", "零壹拾", "壹拾壹", "壹拾贰"};
    static const std::array<std::string, 31> dayNames = {
        "零壹", "零贰", "零叁", "零肆", "零伍", "零陆", "零柒", "零捌", "零玖", "零壹拾", "壹拾壹",
        "壹拾贰", "壹拾叁", "壹拾肆", "壹拾伍", "壹拾陆", "壹拾柒", "壹拾捌", "壹拾玖", "零贰拾", "贰拾壹",
        "贰拾贰", "贰拾叁", "贰拾肆", "贰拾伍", "贰拾陆", "贰拾柒", "贰拾捌", "贰拾玖", "零叁拾", "叁拾壹"};
    using namespace std::chrono;
    int checked = 0;
    for (sys_days day = sys_days(year(2000) / January / 1); day <= sys_days(year(2040) / December / 31); day += days{1}) {
        const year_month_day date(day);
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        std::string expected;
        for (const char c : std::to_string(static_cast<int>(date.year())))
            expected += digit[static_cast<std::size_t>(c - '0')];
        expected += "年" + months[static_cast<unsigned>(date.month()) - 1] + "月"
            + dayNames[static_cast<unsigned>(date.day()) - 1] + "日";
        ASSERT_EQ(formatted(text, "票据日期"), expected) << text;
        ++checked;
    }
    EXPECT_EQ(checked, 14976); // 41 years, 10 of them leap years
}

} // namespace
} // namespace ordavel
