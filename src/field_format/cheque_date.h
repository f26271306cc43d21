#pragma once
// Dates of data values for cheques and forms: read from the texts a data
// file gives, written in capitals as a cheque requires (2026-01-15 ->
// 贰零贰陆年零壹月壹拾伍日) or in a pattern (yyyy年M月d日).

#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

bool isValidDate(const CalendarDate& date);

// The proleptic Gregorian date `days` days after 1970-01-01.
CalendarDate civilFromDays(long long days);

// YYYY-MM-DD, YYYY/MM/DD (months and days of one digit too), YYYYMMDD, or a
// spreadsheet's serial date (1900 system, up to 99999; a fraction is the
// time of day).
// Nothing when it is none of them or no day of the calendar (2026-11-31).
std::optional<CalendarDate> readFieldDate(std::string_view text);

// Each digit of the year, then the month and the day in capitals, with 零
// before months 1, 2 and 10 and days 1 to 10, 20 and 30, and 壹 before days
// 11 to 19: 2026-10-20 -> 贰零贰陆年零壹拾月零贰拾日.
std::string chequeDate(const CalendarDate& date);

// The date in `pattern`: yyyy, yy, MM, M, dd and d are replaced, anything
// else is kept as it stands.
std::string datePattern(const CalendarDate& date, std::string_view pattern);

} // namespace ordavel
