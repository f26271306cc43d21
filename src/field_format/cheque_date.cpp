#include "field_format/cheque_date.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ordavel {

namespace {

constexpr std::array<const char*, 10> kDigits = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

std::optional<int> number(std::string_view text)
{
    int value = 0;
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<CalendarDate> serialDate(std::string_view text)
{
    double serial = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), serial);
    // Serials of five digits at most (to 2173): a longer number is a date
    // typed with a digit missing (2026115), not one centuries away.
    if (error != std::errc() || end != text.data() + text.size() || !(serial >= 1.0) || serial >= 100000.0)
        return std::nullopt;
    const long long whole = static_cast<long long>(std::floor(serial));
    // 1900 system: serial 1 is 1900-01-01, and 60 the 29 February 1900 the
    // spreadsheet counts though it never was; 25569 is 1970-01-01.
    if (whole == 60)
        return std::nullopt;
    return civilFromDays(whole - (whole < 60 ? 25568 : 25569));
}

std::string capitals(int value)
{
    std::string out;
    if (value >= 10) {
        out += kDigits[static_cast<std::size_t>(value / 10)];
        out += "拾";
    }
    if (value % 10 != 0)
        out += kDigits[static_cast<std::size_t>(value % 10)];
    return out;
}

std::string twoDigits(int value)
{
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

} // namespace

CalendarDate civilFromDays(long long days)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

bool isValidDate(const CalendarDate& date)
{
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 && date.day >= 1
        && date.day <= daysInMonth(date.year, date.month);
}

std::optional<CalendarDate> readFieldDate(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    std::optional<CalendarDate> date;
    const std::size_t separator = text.find_first_of("-/");
    if (separator != std::string_view::npos) {
        const char mark = text[separator];
        const std::size_t second = text.find(mark, separator + 1);
        if (separator != 4 || second == std::string_view::npos)
            return std::nullopt;
        const auto year = number(text.substr(0, separator));
        const auto month = number(text.substr(separator + 1, second - separator - 1));
        const auto day = number(text.substr(second + 1));
        if (!year || !month || !day || second - separator - 1 > 2 || text.size() - second - 1 > 2)
            return std::nullopt;
        date = CalendarDate{*year, *month, *day};
    } else if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos) {
        date = CalendarDate{*number(text.substr(0, 4)), *number(text.substr(4, 2)), *number(text.substr(6, 2))};
    } else {
        date = serialDate(text);
    }
    if (!date || !isValidDate(*date))
        return std::nullopt;
    return date;
}

std::string chequeDate(const CalendarDate& date)
{
    std::string out;
    for (const char digit : std::to_string(date.year))
        out += kDigits[static_cast<std::size_t>(digit - '0')];
    out += "年";
    if (date.month <= 2 || date.month == 10)
        out += kDigits[0];
    out += capitals(date.month);
    out += "月";
    if (date.day <= 10 || date.day == 20 || date.day == 30)
        out += kDigits[0];
    out += capitals(date.day);
    out += "日";
    return out;
}

std::string datePattern(const CalendarDate& date, std::string_view pattern)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::string_view rest = pattern.substr(i);
        if (rest.substr(0, 4) == "yyyy") {
            std::string year = std::to_string(date.year);
            out += std::string(year.size() < 4 ? 4 - year.size() : 0, '0') + year;
            i += 4;
        } else if (rest.substr(0, 2) == "yy") {
            out += twoDigits(date.year % 100);
            i += 2;
        } else if (rest.substr(0, 2) == "MM") {
            out += twoDigits(date.month);
            i += 2;
        } else if (rest.front() == 'M') {
            out += std::to_string(date.month);
            ++i;
        } else if (rest.substr(0, 2) == "dd") {
            out += twoDigits(date.day);
            i += 2;
        } else if (rest.front() == 'd') {
            out += std::to_string(date.day);
            ++i;
        } else {
            out += rest.front();
            ++i;
        }
    }
    return out;
}

} // namespace ordavel
