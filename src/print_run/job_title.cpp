#include "print_run/job_title.h"

#include <charconv>
#include <cstdio>

namespace ordavel {

namespace {

constexpr std::string_view kServicePrefix = "ordavel-service "; // written by earlier versions of the service

bool parsePositive(std::string_view text, long long& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

// "12:1-3,13:1,20-22:1": runs of records of one job, or record 1 of a run of jobs.
std::vector<RecordRef> parseRuns(std::string_view rest)
{
    std::vector<RecordRef> out;
    if (rest.empty())
        return {};
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view run = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (comma != std::string_view::npos && rest.empty())
            return {}; // a title cut short after a comma
        const auto colon = run.find(':');
        if (colon == std::string_view::npos)
            return {};
        const std::string_view jobs = run.substr(0, colon);
        const std::string_view numbers = run.substr(colon + 1);
        const auto jobDash = jobs.find('-');
        const auto dash = numbers.find('-');
        long long firstJob = 0, lastJob = 0, first = 0, last = 0;
        if (!parsePositive(jobs.substr(0, jobDash), firstJob) || !parsePositive(numbers.substr(0, dash), first))
            return {};
        lastJob = firstJob;
        last = first;
        if (jobDash != std::string_view::npos && !parsePositive(jobs.substr(jobDash + 1), lastJob))
            return {};
        if (dash != std::string_view::npos && !parsePositive(numbers.substr(dash + 1), last))
            return {};
        if (last < first || last - first > 100000 || lastJob < firstJob || lastJob - firstJob > 100000
            || (lastJob > firstJob && (first != 1 || last != 1)))
            return {};
        for (long long job = firstJob; job <= lastJob; ++job)
            for (long long n = first; n <= last; ++n)
                out.emplace_back(job, static_cast<int>(n));
    }
    return out;
}

// "17 records 1-50[ NAME]", as the designer and the tool once wrote it.
std::vector<RecordRef> parseOldJournalTitle(std::string_view rest)
{
    long long id = 0;
    int first = 0;
    int last = 0;
    int used = 0;
    const std::string text(rest);
    if (std::sscanf(text.c_str(), "%lld records %d-%d%n", &id, &first, &last, &used) != 3 || id <= 0 || first <= 0
        || last < first || last - first > 100000)
        return {};
    if (used < static_cast<int>(text.size()) && text[static_cast<std::size_t>(used)] != ' ')
        return {};
    std::vector<RecordRef> out;
    for (int n = first; n <= last; ++n)
        out.emplace_back(id, n);
    return out;
}

} // namespace

std::string jobTitle(const std::vector<RecordRef>& records, const std::string& name)
{
    std::string title(kJobTitlePrefix);
    std::size_t i = 0;
    while (i < records.size()) {
        std::size_t j = i;
        if (i > 0)
            title += ',';
        // Jobs A..B of one record each (record 1): "A-B:1".
        while (j + 1 < records.size() && records[i].second == 1 && records[j + 1].second == 1
               && records[j + 1].first == records[j].first + 1
               && (j + 2 >= records.size() || records[j + 2].first != records[j + 1].first))
            ++j;
        if (j > i) {
            title += std::to_string(records[i].first) + "-" + std::to_string(records[j].first) + ":1";
            i = j + 1;
            continue;
        }
        // Records of one job: "J:F-L".
        while (j + 1 < records.size() && records[j + 1].first == records[i].first
               && records[j + 1].second == records[j].second + 1)
            ++j;
        title += std::to_string(records[i].first) + ":" + std::to_string(records[i].second);
        if (j > i)
            title += "-" + std::to_string(records[j].second);
        i = j + 1;
    }
    if (!name.empty())
        title += " " + name;
    return title;
}

std::string jobTitle(JournalJobId job, int first, int last, const std::string& name)
{
    std::string title = std::string(kJobTitlePrefix) + std::to_string(job) + ":" + std::to_string(first);
    if (last > first)
        title += "-" + std::to_string(last);
    if (!name.empty())
        title += " " + name;
    return title;
}

std::vector<RecordRef> recordsOfTitle(std::string_view title)
{
    if (title.substr(0, kServicePrefix.size()) == kServicePrefix)
        return parseRuns(title.substr(kServicePrefix.size()));
    if (title.substr(0, kJobTitlePrefix.size()) != kJobTitlePrefix)
        return {};
    std::string_view rest = title.substr(kJobTitlePrefix.size());
    const std::string_view runs = rest.substr(0, rest.find(' '));
    if (runs.find(':') == std::string_view::npos)
        return parseOldJournalTitle(rest);
    return parseRuns(runs);
}

bool mayBeJobOf(const SpoolJob& queued, const std::string& printer, std::time_t recorded)
{
    // The journal keeps whole seconds; the queue's time is taken later. A
    // queue that does not say when it took a job (0) is believed.
    const bool samePrinter = queued.printer.empty() || printer.empty() || queued.printer == printer;
    return samePrinter && (queued.created == 0 || queued.created + 1 >= recorded);
}

} // namespace ordavel
