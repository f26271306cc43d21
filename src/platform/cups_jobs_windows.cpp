// The Windows counterparts, through the print spooler. Qt's Windows print
// engine starts the spooler's document in QPainter::begin, so a printer that
// refuses jobs already fails there and no refusal is left to report after
// QPainter::end.
#include "platform/cups_jobs.h"

#include "file/wide_names_windows.h"

#include <windows.h>
#include <winspool.h>

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

std::wstring userName()
{
    wchar_t name[257];
    DWORD size = 257;
    return ::GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
}

bool finished(DWORD status)
{
    return (status & (JOB_STATUS_PRINTED | JOB_STATUS_DELETED | JOB_STATUS_DELETING | JOB_STATUS_COMPLETE)) != 0;
}

} // namespace

std::string cupsJobRefusal() { return {}; }

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
