#include "designer/input_validator.h"

#include <gtest/gtest.h>

#include <QString>
#include <ostream>

namespace ordavel {
namespace {

struct InputCase {
    const char* name;
    int mode;
    const char* text;
    QValidator::State expected;
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const InputCase& row, std::ostream* os) { *os << row.name; }

constexpr auto A = QValidator::Acceptable;
constexpr auto I = QValidator::Intermediate;
constexpr auto X = QValidator::Invalid;

const InputCase kCases[] = {
    {"NormalTakesAnything", InputNormal, "abc 1-2", A},
    {"PasswordTakesAnything", InputPassword, "p@ss", A},
    {"IntegerTextDigits", InputIntegerText, "0123456789012345678901", A},
    {"IntegerTextEmpty", InputIntegerText, "", A},
    {"IntegerTextLetter", InputIntegerText, "12a", X},
    {"IntegerTextMinus", InputIntegerText, "-1", X},
    {"DecimalTextPoint", InputDecimalText, ".5", A},
    {"DecimalTextTwoPoints", InputDecimalText, "1.2.3", X},
    {"DecimalTextMinus", InputDecimalText, "-1.5", X},
    {"ByteLow", InputByte, "1", A},
    {"ByteHigh", InputByte, "255", A},
    {"ByteAboveRange", InputByte, "256", X},
    {"ByteZero", InputByte, "0", X},
    {"ByteLeadingZero", InputByte, "01", X},
    {"ByteNegative", InputByte, "-1", X},
    {"ByteEmptyWhileTyping", InputByte, "", I},
    {"ShortMin", InputShort, "-32768", A},
    {"ShortMax", InputShort, "32767", A},
    {"ShortAboveMax", InputShort, "32768", X},
    {"ShortBelowMin", InputShort, "-32769", X},
    {"ShortMinusWhileTyping", InputShort, "-", I},
    {"ShortMinusZero", InputShort, "-0", X},
    {"ShortPlusSign", InputShort, "+5", X},
    {"IntMax", InputInt, "2147483647", A},
    {"IntAboveMax", InputInt, "2147483648", X},
    {"IntMin", InputInt, "-2147483648", A},
    {"IntDecimal", InputInt, "1.5", X},
    {"LongMax", InputLong, "9223372036854775807", A},
    {"LongAboveMax", InputLong, "9223372036854775808", X},
    {"LongMin", InputLong, "-9223372036854775808", A},
    {"LongBelowMin", InputLong, "-9223372036854775809", X},
    {"FloatNegativeFraction", InputFloat, "-.5", A},
    {"FloatPointWhileTyping", InputFloat, ".", I},
    {"FloatTrailingPoint", InputFloat, "3.", A},
    {"FloatExponent", InputFloat, "1e5", X},
    {"FloatTwoPoints", InputFloat, "1.2.3", X},
    {"FloatNearMax", InputFloat, "100000000000000000000000000000000000000", A},
    {"FloatBeyondMax", InputFloat, "4000000000000000000000000000000000000000", X},
    {"DoubleBeyondFloat", InputDouble, "4000000000000000000000000000000000000000", A},
    {"DoubleLetter", InputDouble, "1x", X},
    {"DateLeapDay", InputDateTime, "2024-02-29", A},
    {"DateNoLeapDay", InputDateTime, "2023-02-29", X},
    {"DateWithMinutes", InputDateTime, "2024-2-9 8:05", A},
    {"DateSlashesWithSeconds", InputDateTime, "2024/12/31 23:59:59", A},
    {"DateMixedSeparators", InputDateTime, "2024-12/31", X},
    {"DatePartialMonth", InputDateTime, "2024-1", I},
    {"DateMonth13", InputDateTime, "2024-13", X},
    {"DateMonthZeroWhileTyping", InputDateTime, "2024-0", I},
    {"DateHour24", InputDateTime, "2024-12-31 24", X},
    {"DateHourOnly", InputDateTime, "2024-12-31 23", I},
    {"DateMinute60", InputDateTime, "2024-12-31 23:60", X},
    {"DateTrailingBlank", InputDateTime, "2024-12-31 ", I},
    {"DateShortYear", InputDateTime, "24-1-1", X},
    {"DateFiveDigitYear", InputDateTime, "20245", X},
    {"DateDay32", InputDateTime, "2024-1-32", X},
    {"DateAfterSeconds", InputDateTime, "2024-1-1 1:1:1:", X},
};

class InputModeCheck : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputModeCheck, AcceptsExactlyWhatTheModeAllows)
{
    const InputCase& c = GetParam();
    EXPECT_EQ(checkInput(c.mode, QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, InputModeCheck, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<InputCase>& row) { return std::string(row.param.name); });

TEST(InputModeEdit, TextInvalidForTheModeCanOnlyBeShortened)
{
    // A new box reads "编辑框"; in integer mode the user must be able to clear it.
    const QString preset = QStringLiteral("编辑框");
    EXPECT_TRUE(acceptsEdit(InputInt, preset, QStringLiteral("编辑")));
    EXPECT_FALSE(acceptsEdit(InputInt, preset, QStringLiteral("编辑框1")));
    EXPECT_TRUE(acceptsEdit(InputInt, preset, QStringLiteral("5")));
    // From a valid value, deleting may not produce an invalid one.
    EXPECT_FALSE(acceptsEdit(InputDateTime, QStringLiteral("2024-12-31"), QStringLiteral("2024-2-31")));
    EXPECT_FALSE(acceptsEdit(InputByte, QStringLiteral("100"), QStringLiteral("00")));
}

} // namespace
} // namespace ordavel
