// Amounts in capitals and in words against implementations nobody here
// wrote: the npm packages nzh (capitals) and number-to-words (English words),
// installed from tests/field_format/oracle's lock file. Both are compared
// below 10^12 yuan: above it nzh leaves out the 零 of an empty 亿 section
// (壹拾万亿肆仟万 for 10000040007610), which the tests of the rules cover.
#ifndef _WIN32
#include "field_format/field_format.h"

#include "support/node_modules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace ordavel {
namespace {

namespace fs = std::filesystem;

// Amounts of every length up to twelve digits, with zeros often, written as
// a user's data holds them: no decimals, one, or two (zeros too).
std::vector<std::string> randomAmounts(int count)
{
    std::mt19937_64 random(20261211);
    std::vector<std::string> amounts;
    while (static_cast<int>(amounts.size()) < count) {
        const int length = static_cast<int>(random() % 12) + 1;
        std::string amount(1, static_cast<char>('1' + random() % 9));
        for (int d = 1; d < length; ++d)
            amount += static_cast<char>(random() % 5 < 2 ? '0' : '0' + random() % 10);
        const int decimals = static_cast<int>(random() % 3);
        if (decimals > 0)
            amount += '.';
        for (int d = 0; d < decimals; ++d)
            amount += static_cast<char>(random() % 3 == 0 ? '0' : '0' + random() % 10);
        amounts.push_back(amount);
        // Below one yuan, too.
        if (random() % 20 == 0)
            amounts.push_back("0." + std::to_string(1 + random() % 99));
    }
    return amounts;
}

TEST(AmountOracles, CapitalsAndWordsAgreeWithOtherImplementationsOverRandomAmounts)
{
    const test::NodeModules modules
        = test::installedNodeModules(fs::path(ORDAVEL_SOURCE_DIR) / "tests" / "field_format" / "oracle", "amount-oracles");
    ASSERT_TRUE(modules.error.empty()) << modules.error;
    const std::vector<std::string> amounts = randomAmounts(5000);
    const fs::path input = modules.folder / "amounts.txt";
    {
        std::ofstream out(input, std::ios::binary);
        for (const std::string& amount : amounts)
            out << amount << '\n';
    }
    const test::RunResult oracle = test::runCommand(
        "node " + test::shellQuoted(fs::path(ORDAVEL_SOURCE_DIR) / "tests" / "field_format" / "oracle" / "amounts.mjs")
        + " " + test::shellQuoted(modules.folder) + " < " + test::shellQuoted(input));
    ASSERT_EQ(oracle.status, 0) << oracle.output;

    std::istringstream answers(oracle.output);
    std::string line;
    std::size_t compared = 0;
    for (const std::string& amount : amounts) {
        ASSERT_TRUE(std::getline(answers, line)) << "no answer for " << amount;
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const FormatResult capitals = formatValue(amount, "大写");
        const FormatResult words = formatValue(amount, "words");
        ASSERT_TRUE(capitals.ok && words.ok) << amount << ": " << capitals.reason << words.reason;
        EXPECT_EQ(capitals.text, line.substr(0, tab)) << amount;
        EXPECT_EQ(words.text, line.substr(tab + 1)) << amount;
        ++compared;
    }
    EXPECT_EQ(compared, amounts.size());
}

} // namespace
} // namespace ordavel
#endif
