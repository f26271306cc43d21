#include "service/job_json.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace ordavel::service {

namespace {

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysIn(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

// Seconds since 1970-01-01 UTC of a UTC calendar time, as timegm gives them
// (which Windows lacks): whole days of the proleptic Gregorian calendar, in
// 400-year eras of 146097 days counted from 0000-03-01.
std::time_t utcSeconds(long long year, long long month, long long day, long long hour, long long minute,
                       long long second)
{
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = era * 146097 + dayOfEra - 719468;
    return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

} // namespace

std::optional<std::time_t> parseIsoTime(const std::string& text)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!text.empty() && std::all_of(text.begin(), text.end(), digit)) {
        long long seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return static_cast<std::time_t>(seconds);
    }
    std::size_t at = 0;
    const auto number = [&](std::size_t digits, int& value) {
        if (at + digits > text.size())
            return false;
        value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            if (!digit(text[at + i]))
                return false;
            value = value * 10 + (text[at + i] - '0');
        }
        at += digits;
        return true;
    };
    const auto literal = [&](std::string_view any) {
        if (at < text.size() && any.find(text[at]) != std::string_view::npos) {
            ++at;
            return true;
        }
        return false;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!number(4, year) || !literal("-") || !number(2, month) || !literal("-") || !number(2, day) || month < 1
        || month > 12 || day < 1 || day > daysIn(year, month))
        return std::nullopt;
    bool zoned = false;
    long offset = 0;
    if (at < text.size()) {
        if (!literal("Tt ") || !number(2, hour) || !literal(":") || !number(2, minute))
            return std::nullopt;
        if (literal(":")) {
            if (!number(2, second))
                return std::nullopt;
            if (literal(".,")) {
                const std::size_t from = at;
                while (at < text.size() && digit(text[at]))
                    ++at;
                if (at == from)
                    return std::nullopt;
            }
        }
        if (hour > 23 || minute > 59 || second > 60)
            return std::nullopt;
        if (literal("Zz")) {
            zoned = true;
        } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            const long sign = text[at++] == '-' ? -1 : 1;
            int hours = 0, minutes = 0;
            if (!number(2, hours))
                return std::nullopt;
            if (at < text.size() && (literal(":") || digit(text[at])) && !number(2, minutes))
                return std::nullopt;
            if (hours > 23 || minutes > 59)
                return std::nullopt;
            zoned = true;
            offset = sign * (hours * 3600L + minutes * 60L);
        }
        if (at != text.size())
            return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t when = zoned ? utcSeconds(year, month, day, hour, minute, second) - offset : std::mktime(&tm);
    return std::max<std::time_t>(when, 0);
}


std::string isoTime(std::time_t when)
{
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

nlohmann::json jobJson(const JobSummary& job)
{
    nlohmann::json records = nlohmann::json::array();
    for (const auto& r : job.records) {
        nlohmann::json record = {{"n", r.n}, {"state", outcomeName(r.outcome)}};
        record["cupsJob"] = r.cupsJob > 0 && r.cupsJob != kNoSpoolJobId ? nlohmann::json(r.cupsJob) : nlohmann::json(nullptr);
        if (!r.station.empty()) {
            record["station"] = r.station;
            record["printer"] = r.printer;
        }
        records.push_back(std::move(record));
    }
    nlohmann::json out = {{"id", job.id},
                          {"key", job.key},
                          {"state", outcomeName(job.outcome)},
                          {"template", job.templateName},
                          {"printer", job.printer},
                          {"copies", job.copies},
                          {"created", isoTime(job.created)},
                          {"records", std::move(records)},
                          {"reason", job.reason}};
    if (job.expiresSeconds > 0)
        out["expires"] = job.expiresSeconds;
    if (job.repeats > 0)
        out["repeats"] = job.repeats;
    return out;
}

} // namespace ordavel::service
