// The Windows counterparts, through the print spooler. Qt's Windows print
// engine starts the spooler's document in QPainter::begin, so a printer that
// refuses jobs already fails there and no refusal is left to report after
// QPainter::end.
#include "platform/cups_jobs.h"

#include "file/wide_names_windows.h"
#include "journal/journal_system.h"
#include "print_run/windows_job_watch.h"

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

bool finished(DWORD status) { return isFinished(windowsJobState(status)) || (status & JOB_STATUS_COMPLETE) != 0; }

WindowsJob entryOf(const JOB_INFO_1W& job, const std::wstring& printerName)
{
    WindowsJob entry;
    entry.job.id = static_cast<int>(job.JobId);
    entry.job.title = job.pDocument != nullptr ? utf8FromWide(job.pDocument) : std::string();
    entry.job.printer = utf8FromWide(printerName);
    entry.job.state = windowsJobState(job.Status);
    entry.job.created = timeOf(job.Submitted);
    entry.status = job.Status;
    return entry;
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

// This user's jobs the spooler still holds for one printer, appended to
// `jobs`; false when the spooler cannot list them (Wine 8's EnumJobsW is a
// stub that fails). A printer that cannot be opened (a network printer
// away) lists nothing, and is asked about a job only by its id.
bool appendJobsOf(const std::wstring& printerName, std::vector<WindowsJob>& jobs)
{
    std::wstring name = printerName;
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!::OpenPrinterW(name.data(), &printer, &access))
        return true;
    DWORD needed = 0;
    DWORD count = 0;
    ::SetLastError(ERROR_SUCCESS);
    // An empty queue answers the size question with success and nothing needed.
    bool listed = ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count)
        || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    std::vector<BYTE> buffer(needed);
    if (listed && needed > 0) {
        listed = ::EnumJobsW(printer, 0, 0xFFFFFFFF, 1, buffer.data(), needed, &needed, &count);
        const auto* found = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
        const std::wstring me = userName();
        for (DWORD i = 0; listed && i < count; ++i) {
            const JOB_INFO_1W& job = found[i];
            if (!me.empty() && job.pUserName != nullptr && _wcsicmp(job.pUserName, me.c_str()) != 0)
                continue;
            jobs.push_back(entryOf(job, printerName));
        }
    }
    ::ClosePrinter(printer);
    return listed;
}

} // namespace

std::optional<std::vector<WindowsJob>> windowsJobs()
{
    std::vector<WindowsJob> jobs;
    bool listed = true;
    for (const auto& name : printerNames())
        listed = appendJobsOf(name, jobs) && listed;
    if (!listed)
        return std::nullopt;
    std::sort(jobs.begin(), jobs.end(), [](const WindowsJob& a, const WindowsJob& b) {
        return a.job.created != b.job.created ? a.job.created > b.job.created : a.job.id > b.job.id;
    });
    return jobs;
}

std::optional<WindowsJob> windowsJob(const std::string& printerName, int id)
{
    const std::vector<std::wstring> names = printerName.empty() ? printerNames()
                                                                : std::vector<std::wstring>{wideFromUtf8(printerName)};
    for (const std::wstring& each : names) {
        std::wstring name = each;
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
        if (!::OpenPrinterW(name.data(), &printer, &access))
            continue;
        DWORD needed = 0;
        ::GetJobW(printer, static_cast<DWORD>(id), 1, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        std::optional<WindowsJob> found;
        if (needed > 0 && ::GetJobW(printer, static_cast<DWORD>(id), 1, buffer.data(), needed, &needed))
            found = entryOf(*reinterpret_cast<const JOB_INFO_1W*>(buffer.data()), each);
        ::ClosePrinter(printer);
        if (found)
            return found;
    }
    return std::nullopt;
}

bool cancelWindowsJob(const std::string& printerName, int id)
{
    std::wstring name = wideFromUtf8(printerName);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    if (id <= 0 || !::OpenPrinterW(name.data(), &printer, &access))
        return false;
    const bool cancelled = ::SetJobW(printer, static_cast<DWORD>(id), 0, nullptr, JOB_CONTROL_CANCEL);
    ::ClosePrinter(printer);
    return cancelled;
}

// The spooler forgets a job once it has printed (unless the printer keeps
// printed documents), so finished jobs are mostly absent here.
std::vector<SpoolJob> myCupsJobs()
{
    std::vector<SpoolJob> jobs;
    for (WindowsJob& each : windowsJobs().value_or(std::vector<WindowsJob>()))
        jobs.push_back(std::move(each.job));
    return jobs;
}

int cupsJobNamed(const std::string& printerName, const std::string& title, std::time_t since)
{
    if (printerName.empty())
        return 0;
    std::vector<WindowsJob> jobs;
    (void)appendJobsOf(wideFromUtf8(printerName), jobs);
    int newest = 0;
    for (const auto& each : jobs)
        if (each.job.title == title && each.job.created >= since && each.job.id > newest)
            newest = each.job.id;
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
