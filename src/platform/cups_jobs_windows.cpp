// The Windows counterparts, through the print spooler. Qt's Windows print
// engine starts the spooler's document in QPainter::begin, so a printer that
// refuses jobs already fails there and no refusal is left to report after
// QPainter::end.
#include "platform/cups_jobs.h"

#include "file/wide_names_windows.h"
#include "journal/journal_system.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <vector>

namespace ordavel {

namespace {

std::time_t timeOf(const SYSTEMTIME& utc)
{
    FILETIME file{};
    if (!::SystemTimeToFileTime(&utc, &file))
        return 0;
    const unsigned long long ticks = (static_cast<unsigned long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    // 100 ns steps since 1601-01-01; the Unix epoch is 11644473600 s later.
    return static_cast<std::time_t>(ticks / 10000000ULL) - 11644473600LL;
}

// The spooler names a job's owner as GetUserNameW does, as the journal does.
std::wstring userName() { return wideFromUtf8(journal_system::userName()); }

bool finished(DWORD status)
{
    return (status & (JOB_STATUS_PRINTED | JOB_STATUS_DELETED | JOB_STATUS_DELETING | JOB_STATUS_COMPLETE)) != 0;
}

SpoolJobState stateOf(DWORD status)
{
    if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE))
        return SpoolJobState::Completed;
    if (status & (JOB_STATUS_DELETED | JOB_STATUS_DELETING))
        return SpoolJobState::Cancelled;
    if (status & (JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT | JOB_STATUS_BLOCKED_DEVQ))
        return SpoolJobState::Stopped;
    if (status & JOB_STATUS_PAUSED)
        return SpoolJobState::Held;
    if (status & (JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING))
        return SpoolJobState::Processing;
    return SpoolJobState::Pending;
}

// Every printer this user sees: the machine's and the connected network ones.
std::vector<std::wstring> printerNames()
{
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::wstring> names;
    if (needed == 0 || !::EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count))
        return names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (printers[i].pPrinterName != nullptr)
            names.emplace_back(printers[i].pPrinterName);
    return names;
}

// This user's jobs the spooler still holds for one printer, appended to `jobs`.
void appendJobsOf(const std::wstring& printerName, std::vector<SpoolJob>& jobs)
{
    std::wstring name = printerName;
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!::OpenPrinterW(name.data(), &printer, &access))
        return;
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (needed > 0 && ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, buffer.data(), needed, &needed, &count)) {
        const auto* found = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
        const std::wstring me = userName();
        for (DWORD i = 0; i < count; ++i) {
            const JOB_INFO_1W& job = found[i];
            if (!me.empty() && job.pUserName != nullptr && _wcsicmp(job.pUserName, me.c_str()) != 0)
                continue;
            SpoolJob entry;
            entry.id = static_cast<int>(job.JobId);
            entry.title = job.pDocument != nullptr ? utf8FromWide(job.pDocument) : std::string();
            entry.printer = utf8FromWide(printerName);
            entry.state = stateOf(job.Status);
            entry.created = timeOf(job.Submitted);
            jobs.push_back(std::move(entry));
        }
    }
    ::ClosePrinter(printer);
}

} // namespace

// The spooler forgets a job once it has printed (unless the printer keeps
// printed documents), so finished jobs are mostly absent here.
std::vector<SpoolJob> myCupsJobs()
{
    std::vector<SpoolJob> jobs;
    for (const auto& name : printerNames())
        appendJobsOf(name, jobs);
    std::sort(jobs.begin(), jobs.end(), [](const SpoolJob& a, const SpoolJob& b) {
        return a.created != b.created ? a.created > b.created : a.id > b.id;
    });
    return jobs;
}

int cupsJobNamed(const std::string& printerName, const std::string& title, std::time_t since)
{
    if (printerName.empty())
        return 0;
    std::vector<SpoolJob> jobs;
    appendJobsOf(wideFromUtf8(printerName), jobs);
    int newest = 0;
    for (const auto& job : jobs)
        if (job.title == title && job.created >= since && job.id > newest)
            newest = job.id;
    return newest;
}

bool cancelJobSentSince(const std::string& printerName, std::time_t sentSince)
{
    if (printerName.empty())
        return false;
    std::wstring name = wideFromUtf8(printerName);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!::OpenPrinterW(name.data(), &printer, &access))
        return false;

    DWORD needed = 0;
    DWORD count = 0;
    ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    bool cancelled = false;
    if (needed > 0 && ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, buffer.data(), needed, &needed, &count)) {
        const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
        const std::wstring me = userName();
        DWORD newest = 0;
        for (DWORD i = 0; i < count; ++i) {
            const JOB_INFO_1W& job = jobs[i];
            if (finished(job.Status) || timeOf(job.Submitted) < sentSince)
                continue;
            if (!me.empty() && job.pUserName != nullptr && _wcsicmp(job.pUserName, me.c_str()) != 0)
                continue;
            if (job.JobId > newest)
                newest = job.JobId;
        }
        cancelled = newest > 0 && ::SetJobW(printer, newest, 0, nullptr, JOB_CONTROL_CANCEL);
    }
    ::ClosePrinter(printer);
    return cancelled;
}

} // namespace ordavel
