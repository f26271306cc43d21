#include "file/value_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

namespace ordavel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// std::to_chars is locale-independent and, with a precision, gives exactly
// what printf's "%.<precision>g" gives in the C locale.
template <typename T> std::string formatGeneral(T value, int precision)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, result.ptr);
}

// Digits with an optional point and at most 15 digits in all ("2.65"), the
// usual form of file values, read without from_chars. The digits form an
// integer below 2^53 and 10^fraction is exact, so the one division is
// correctly rounded: the same double from_chars gives. Nothing for other forms.
std::optional<double> shortDecimal(std::string_view text)
{
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                        1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = -1; // digits after the point, -1 before it
    for (const char c : text) {
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (!isDigit(c))
            return std::nullopt;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        ++digits;
        if (fraction >= 0)
            ++fraction;
    }
    if (digits == 0 || digits > 15)
        return std::nullopt;
    const double value = static_cast<double>(mantissa);
    return fraction > 0 ? value / kPow10[fraction] : value;
}

// The leading integer as a wide value (saturated), or nothing.
std::optional<long long> leadingInteger(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    // Accumulates the magnitude negated, so that the minimum fits; saturates.
    constexpr long long kMin = std::numeric_limits<long long>::min();
    long long value = 0;
    bool saturated = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (saturated || value < (kMin + digit) / 10) {
            saturated = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (i == digitsStart)
        return std::nullopt;
    if (saturated)
        return negative ? kMin : std::numeric_limits<long long>::max();
    if (!negative)
        return value == kMin ? std::numeric_limits<long long>::max() : -value;
    return value;
}

int clampToInt(long long value)
{
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Reads an unsigned decimal number at text[pos], advancing pos; nothing when no digit.
std::optional<int> takeNumber(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    long long value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (value < 100000)
            value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start)
        return std::nullopt;
    return static_cast<int>(value);
}

bool take(std::string_view text, std::size_t& pos, std::string_view what)
{
    if (text.substr(pos, what.size()) != what)
        return false;
    pos += what.size();
    return true;
}

bool takeDateSeparator(std::string_view text, std::size_t& pos)
{
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '.' || text[pos] == '/' || text[pos] == ':')) {
        ++pos;
        return true;
    }
    return false;
}

void skipSpaces(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<DateTime> parseDateTime(std::string_view text)
{
    std::size_t pos = 0;
    skipSpaces(text, pos);
    DateTime value;
    value.hour = value.minute = value.second = 0;
    auto year = takeNumber(text, pos);
    if (!year)
        return std::nullopt;
    const bool chinese = take(text, pos, "年");
    if (!chinese && !takeDateSeparator(text, pos))
        return std::nullopt;
    auto month = takeNumber(text, pos);
    if (!month)
        return std::nullopt;
    if (chinese ? !take(text, pos, "月") : !takeDateSeparator(text, pos))
        return std::nullopt;
    auto day = takeNumber(text, pos);
    if (!day)
        return std::nullopt;
    const bool dayMark = take(text, pos, "日");
    if (chinese && !dayMark)
        return std::nullopt;
    value.year = *year;
    value.month = *month;
    value.day = *day;

    skipSpaces(text, pos);
    if (pos < text.size()) {
        auto hour = takeNumber(text, pos);
        if (!hour)
            return std::nullopt;
        value.hour = *hour;
        if (take(text, pos, "时")) {
            // "%d时", "%d时%d分" or "%d时%d分%d秒".
            if (auto minute = takeNumber(text, pos)) {
                if (!take(text, pos, "分"))
                    return std::nullopt;
                value.minute = *minute;
                if (auto second = takeNumber(text, pos)) {
                    if (!take(text, pos, "秒"))
                        return std::nullopt;
                    value.second = *second;
                }
            }
        } else if (take(text, pos, ":")) {
            auto minute = takeNumber(text, pos);
            if (!minute)
                return std::nullopt;
            value.minute = *minute;
            if (take(text, pos, ":")) {
                auto second = takeNumber(text, pos);
                if (!second)
                    return std::nullopt;
                value.second = *second;
            }
        } else {
            return std::nullopt;
        }
        skipSpaces(text, pos);
    }
    if (pos != text.size() || !isValidDateTime(value))
        return std::nullopt;
    return value;
}

} // namespace

std::string formatInt(long long value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatColor(Color color) { return formatInt(static_cast<long long>(color)); }

std::string formatPaperSize(float cm) { return formatGeneral(cm, 6); }

std::string formatPrintValue(double cm) { return formatGeneral(cm, 13); }

std::string formatDateTime(const DateTime& v)
{
    std::string out = formatInt(v.year) + "年" + formatInt(v.month) + "月" + formatInt(v.day) + "日";
    if (v.second != 0)
        out += formatInt(v.hour) + "时" + formatInt(v.minute) + "分" + formatInt(v.second) + "秒";
    else if (v.minute != 0)
        out += formatInt(v.hour) + "时" + formatInt(v.minute) + "分";
    else if (v.hour != 0)
        out += formatInt(v.hour) + "时";
    return out;
}

int readInt(std::string_view text)
{
    // Up to 9 digits always fit an int: the common case skips the wide read.
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    int value = 0;
    const std::size_t digitsStart = i;
    while (i < text.size() && i - digitsStart < 9 && isDigit(text[i]))
        value = value * 10 + (text[i++] - '0');
    if (i == text.size() || !isDigit(text[i]))
        return negative ? -value : value;
    return clampToInt(leadingInteger(text).value_or(0));
}

double readNumber(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const std::size_t expStart = j;
        while (j < text.size() && isDigit(text[j]))
            ++j;
        if (j > expStart)
            i = j;
    }
    double value = 0.0;
    if (const auto exact = shortDecimal(text.substr(start, i - start)))
        return negative ? -*exact : *exact;
    const auto result = std::from_chars(text.data() + start, text.data() + i, value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}

int readTruncatedNumber(std::string_view text)
{
    const double value = std::trunc(readNumber(text));
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

Color readColor(std::string_view text)
{
    return static_cast<Color>(static_cast<unsigned long long>(leadingInteger(text).value_or(0)));
}

bool isValidDateTime(const DateTime& v)
{
    return v.year >= 100 && v.year <= 9999 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
           v.day <= daysInMonth(v.year, v.month) && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 &&
           v.minute <= 59 && v.second >= 0 && v.second <= 59;
}

DateTime readDateTime(std::string_view text)
{
    if (auto value = parseDateTime(text))
        return *value;
    return DateTime{100, 1, 1, 0, 0, 0};
}

std::string formatComboItems(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) {
        out += ',';
        out += item;
    }
    return out;
}

std::vector<std::string> readComboItems(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t comma = text.find(',');
    while (comma != std::string_view::npos) {
        const std::size_t next = text.find(',', comma + 1);
        items.emplace_back(text.substr(comma + 1, next == std::string_view::npos ? std::string_view::npos : next - comma - 1));
        comma = next;
    }
    return items;
}

} // namespace ordavel
