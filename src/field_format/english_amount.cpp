#include "field_format/english_amount.h"

#include <array>

namespace ordavel {

namespace {

constexpr std::array<const char*, 20> kSmall = {"Zero",    "One",     "Two",       "Three",    "Four",
                                                "Five",    "Six",     "Seven",     "Eight",    "Nine",
                                                "Ten",     "Eleven",  "Twelve",    "Thirteen", "Fourteen",
                                                "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
constexpr std::array<const char*, 10> kTens = {"", "", "Twenty", "Thirty", "Forty",
                                               "Fifty", "Sixty", "Seventy", "Eighty", "Ninety"};
constexpr std::array<const char*, 6> kScales = {"", "Thousand", "Million", "Billion", "Trillion", "Quadrillion"};

void append(std::string& out, const char* word)
{
    if (!out.empty())
        out += ' ';
    out += word;
}

// 1..999 in words.
void appendHundreds(std::string& out, int value)
{
    if (value >= 100) {
        append(out, kSmall[static_cast<std::size_t>(value / 100)]);
        append(out, "Hundred");
        value %= 100;
    }
    if (value >= 20) {
        append(out, kTens[static_cast<std::size_t>(value / 10)]);
        value %= 10;
    }
    if (value > 0)
        append(out, kSmall[static_cast<std::size_t>(value)]);
}

} // namespace

std::string amountInWords(const FenAmount& amount)
{
    std::string words;
    if (amount.yuan == 0) {
        words = kSmall[0];
    } else {
        std::array<int, kScales.size()> groups{};
        std::uint64_t rest = amount.yuan;
        for (auto& group : groups) {
            group = static_cast<int>(rest % 1000);
            rest /= 1000;
        }
        for (std::size_t g = groups.size(); g-- > 0;) {
            if (groups[g] == 0)
                continue;
            appendHundreds(words, groups[g]);
            if (g > 0)
                append(words, kScales[g]);
        }
    }
    const int cents = amount.jiao * 10 + amount.fen;
    return words + " and " + static_cast<char>('0' + cents / 10) + static_cast<char>('0' + cents % 10) + "/100";
}

} // namespace ordavel
