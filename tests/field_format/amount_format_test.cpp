// Amounts in capitals, in words and grouped, against the examples of the
// payment settlement rules and against independent implementations written
// here from the rules, over random amounts.
#include "field_format/field_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace ordavel {
namespace {

std::string formatted(std::string_view value, std::string_view format)
{
    const FormatResult result = formatValue(value, format);
    return result.ok ? result.text : "refused: " + result.reason;
}

TEST(AmountFormat, CapitalsFollowThePaymentSettlementRules)
{
    EXPECT_EQ(formatted("1234.56", "大写"), "壹仟贰佰叁拾肆元伍角陆分");
    EXPECT_EQ(formatted("100050", "大写"), "壹拾万零伍拾元整");
    EXPECT_EQ(formatted("1000000.01", "大写"), "壹佰万元零壹分");
    EXPECT_EQ(formatted("1004.30", "大写"), "壹仟零肆元叁角");
    EXPECT_EQ(formatted("0.5", "大写"), "伍角");
    EXPECT_EQ(formatted("120000000", "大写"), "壹亿贰仟万元整");
    EXPECT_EQ(formatted("12345.67", "人民币大写"), "人民币壹万贰仟叁佰肆拾伍元陆角柒分");
    EXPECT_EQ(formatted("¥ 1,004.30", "大写"), "壹仟零肆元叁角");
    EXPECT_EQ(formatted("￥107000.53", "大写"), "壹拾万柒仟元伍角叁分");
    EXPECT_EQ(formatted("100000000000000", "大写"), "壹佰万亿元整");
    EXPECT_EQ(formatted("1000000010000", "大写"), "壹万亿零壹万元整");
    EXPECT_EQ(formatted("0.01", "大写"), "壹分");
    EXPECT_EQ(formatted("0", "大写"), "零元整");
    EXPECT_EQ(formatted("9999999999999999.99", "大写"),
              "玖仟玖佰玖拾玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");

    for (const char* refused : {"1.234", "-5", "10000000000000000", "12a", ".", "1.2.3", "--1"})
        EXPECT_FALSE(formatValue(refused, "大写").ok) << refused;
}

TEST(AmountFormat, WordsGroupedDigitsAndUnknownFormats)
{
    EXPECT_EQ(formatted("1234.56", "words"), "One Thousand Two Hundred Thirty Four and 56/100");
    EXPECT_EQ(formatted("0.07", "words"), "Zero and 07/100");
    EXPECT_EQ(formatted("2000015", "words"), "Two Million Fifteen and 00/100");
    EXPECT_FALSE(formatValue("-3", "words").ok);

    EXPECT_EQ(formatted("1234.56", "金额"), "1,234.56");
    EXPECT_EQ(formatted("1234567", "金额"), "1,234,567.00");
    EXPECT_EQ(formatted("999.995", "金额"), "1,000.00");
    EXPECT_EQ(formatted("-0.004", "金额"), "0.00");
    EXPECT_EQ(formatted("-1234.5", "金额:0"), "-1,235");
    EXPECT_EQ(formatted("12.5", "金额:3"), "12.500");
    EXPECT_FALSE(formatValue("abc", "金额").ok);

    EXPECT_EQ(formatted("as is", ""), "as is");
    EXPECT_EQ(formatted(" ", "大写"), "");
    EXPECT_FALSE(formatValue("", "大小").ok);
    for (const char* unknown : {"大小", "金额:", "金额:x", "金额:10", "WORDS"}) {
        EXPECT_FALSE(knownFormat(unknown)) << unknown;
        EXPECT_FALSE(formatValue("1", unknown).ok) << unknown;
    }
}

// --- Independent implementations, written from the rules, digit by digit.

std::string capitalsByDigits(std::uint64_t yuan, int jiao, int fen)
{
    static const std::array<std::string, 10> digit = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
    static const std::array<std::string, 4> place = {"", "拾", "佰", "仟"};
    std::string out;
    if (yuan > 0) {
        const std::string digits = std::to_string(yuan);
        const int top = static_cast<int>(digits.size()) - 1;
        bool pendingZero = false;
        bool sectionHasDigit = false;
        for (int p = top; p >= 0; --p) {
            const int d = digits[static_cast<std::size_t>(top - p)] - '0';
            if (d == 0) {
                pendingZero = pendingZero || !out.empty();
            } else {
                if (pendingZero)
                    out += digit[0];
                pendingZero = false;
                out += digit[static_cast<std::size_t>(d)] + place[static_cast<std::size_t>(p % 4)];
                sectionHasDigit = true;
            }
            if (p % 4 == 0 && p > 0) {
                // A section ends: its marker when it wrote anything, and 亿 always
                // once something above it was written.
                if (sectionHasDigit) {
                    out += p == 8 ? "亿" : "万";
                    pendingZero = false;
                } else if (p == 8 && !out.empty()) {
                    out += "亿";
                }
                sectionHasDigit = false;
            }
        }
        out += "元";
    }
    if (jiao == 0 && fen == 0)
        return yuan == 0 ? "零元整" : out + "整";
    if (jiao != 0)
        out += digit[static_cast<std::size_t>(jiao)] + "角";
    else if (yuan != 0)
        out += "零";
    if (fen != 0)
        out += digit[static_cast<std::size_t>(fen)] + "分";
    return out;
}

std::string wordsOf(std::uint64_t n)
{
    static const std::array<std::string, 20> small = {
        "Zero", "One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten", "Eleven", "Twelve",
        "Thirteen", "Fourteen", "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
    static const std::array<std::string, 10> tens = {"", "", "Twenty", "Thirty", "Forty", "Fifty", "Sixty",
                                                     "Seventy", "Eighty", "Ninety"};
    if (n < 20)
        return small[n];
    if (n < 100)
        return tens[n / 10] + (n % 10 ? " " + small[n % 10] : "");
    if (n < 1000)
        return small[n / 100] + " Hundred" + (n % 100 ? " " + wordsOf(n % 100) : "");
    static const std::array<std::pair<std::uint64_t, const char*>, 5> scales = {
        {{1000000000000000ULL, "Quadrillion"}, {1000000000000ULL, "Trillion"}, {1000000000ULL, "Billion"}, {1000000ULL, "Million"}, {1000ULL, "Thousand"}}};
    for (const auto& [size, name] : scales)
        if (n >= size)
            return wordsOf(n / size) + " " + name + (n % size ? " " + wordsOf(n % size) : "");
    return {};
}

TEST(AmountFormat, TenThousandRandomAmountsAgreeWithIndependentImplementations)
{
    std::mt19937_64 random(20261210);
    // Amounts of every length: a random count of digits, then random digits,
    // with zeros often, so that runs of zeros and empty groups are common.
    for (int i = 0; i < 10000; ++i) {
        const int length = static_cast<int>(random() % 16) + 1;
        std::uint64_t yuan = 0;
        for (int d = 0; d < length; ++d)
            yuan = yuan * 10 + (random() % 3 == 0 ? 0 : random() % 10);
        const int jiao = random() % 3 == 0 ? 0 : static_cast<int>(random() % 10);
        const int fen = random() % 3 == 0 ? 0 : static_cast<int>(random() % 10);
        if (yuan == 0 && jiao == 0 && fen == 0)
            continue;
        const std::string text = std::to_string(yuan) + "." + std::to_string(jiao) + std::to_string(fen);
        ASSERT_EQ(formatted(text, "大写"), capitalsByDigits(yuan, jiao, fen)) << text;
        const std::string cents = std::to_string(jiao) + std::to_string(fen);
        ASSERT_EQ(formatted(text, "words"), wordsOf(yuan) + " and " + cents + "/100") << text;
    }
}

} // namespace
} // namespace ordavel
