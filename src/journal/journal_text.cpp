// What the journal's values are called as stored and shown, and its times as
// people read and write them.
#include "journal/journal.h"

#include "journal/journal_engine.h"

#include <ctime>
#include <initializer_list>

namespace ordavel {

std::string_view outcomeName(JournalOutcome outcome)
{
    switch (outcome) {
    case JournalOutcome::Queued: return "queued";
    case JournalOutcome::Printing: return "printing";
    case JournalOutcome::Printed: return "printed";
    case JournalOutcome::Failed: return "failed";
    case JournalOutcome::Cancelled: return "cancelled";
    case JournalOutcome::Expired: return "expired";
    }
    return "failed";
}

std::optional<JournalOutcome> outcomeNamed(std::string_view name)
{
    for (const auto outcome : {JournalOutcome::Queued, JournalOutcome::Printing, JournalOutcome::Printed,
                               JournalOutcome::Failed, JournalOutcome::Cancelled, JournalOutcome::Expired})
        if (outcomeName(outcome) == name)
            return outcome;
    return std::nullopt;
}

bool isFinal(JournalOutcome outcome)
{
    return outcome != JournalOutcome::Queued && outcome != JournalOutcome::Printing;
}

std::string_view kindName(JournalKind kind)
{
    switch (kind) {
    case JournalKind::Page: return "page";
    case JournalKind::Batch: return "batch";
    case JournalKind::Calibration: return "calibration";
    case JournalKind::Reprint: return "reprint";
    }
    return "page";
}

std::string journalUserName() { return journal_detail::userName(); }

std::string journalTemplateName(std::string_view pathOrName)
{
    if (const std::size_t slash = pathOrName.find_last_of("/\\"); slash != std::string_view::npos)
        pathOrName.remove_prefix(slash + 1);
    if (pathOrName.size() > 4) {
        std::string suffix(pathOrName.substr(pathOrName.size() - 4));
        for (char& c : suffix)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (suffix == ".oxf")
            pathOrName.remove_suffix(4);
    }
    return std::string(pathOrName);
}

std::string formatJournalTime(JournalTime time)
{
    const auto t = static_cast<std::time_t>(time);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::optional<JournalTime> parseJournalTime(std::string_view text)
{
    // "today" and "yesterday": the start of that day, local time.
    if (text == "today" || text == "yesterday") {
        const std::time_t at = std::time(nullptr);
        std::tm local{};
        localtime_r(&at, &local);
        local.tm_hour = 0;
        local.tm_min = 0;
        local.tm_sec = 0;
        if (text == "yesterday")
            --local.tm_mday; // mktime carries it into the month before
        local.tm_isdst = -1;
        const std::time_t start = std::mktime(&local);
        if (start == static_cast<std::time_t>(-1))
            return std::nullopt;
        return static_cast<JournalTime>(start);
    }
    // YYYY-MM-DD, then optionally " HH:MM" or "THH:MM", then optionally ":SS".
    const auto digitsAt = [&](std::initializer_list<std::size_t> at) {
        for (const std::size_t i : at)
            if (text[i] < '0' || text[i] > '9')
                return false;
        return true;
    };
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return std::nullopt;
    if (!digitsAt({0, 1, 2, 3, 5, 6, 8, 9}) || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    if (text.size() > 10 && (!digitsAt({11, 12, 14, 15}) || (text[10] != ' ' && text[10] != 'T') || text[13] != ':'))
        return std::nullopt;
    if (text.size() > 16 && (!digitsAt({17, 18}) || text[16] != ':'))
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t count) {
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = text.size() > 10 ? number(11, 2) : 0, minute = text.size() > 10 ? number(14, 2) : 0;
    const int second = text.size() > 16 ? number(17, 2) : 0;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<JournalTime>(t);
}

} // namespace ordavel
