#pragma once
// What happened to a job Qt sent to CUPS. Qt's CUPS print engine hands the job
// to the scheduler when the painter ends, drops the scheduler's answer and
// cannot take a job back (QPrinter::abort does not stop it).

#include "print_run/spool_job.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ordavel {

// Cancels this user's newest job on `printerName` that was sent at or after
// `sentSince` and has not finished yet: a print the user cancelled after Qt
// sent it. True when such a job was cancelled; false when there was none (it
// has already printed, or the printer is not a CUPS destination).
bool cancelJobSentSince(const std::string& printerName, std::time_t sentSince);

#ifdef _WIN32
// A Windows spooler job with the spooler's own status bits (JOB_STATUS_*).
struct WindowsJob {
    SpoolJob job;
    unsigned long status = 0;
};
// This user's jobs on every printer, newest first; nothing when the spooler
// cannot list the jobs of a printer (Wine 8 implements EnumJobsW as a stub).
std::optional<std::vector<WindowsJob>> windowsJobs();
// Job `id` on `printerName` (every printer when ""), whoever sent it;
// nothing when no printer's queue holds it.
std::optional<WindowsJob> windowsJob(const std::string& printerName, int id);

// Cancels job `id` on `printerName`; false when the spooler refuses or knows no such job.
bool cancelWindowsJob(const std::string& printerName, int id);

// This user's jobs on every printer, newest first (the Windows spooler's
// view: it forgets a job once printed). Empty when the spooler does not answer.
std::vector<SpoolJob> myCupsJobs();

// The newest of this user's jobs on `printerName` named `title`, created at
// or after `since`: the job Qt just handed over, whose id Qt does not tell.
// 0 when there is none.
int cupsJobNamed(const std::string& printerName, const std::string& title, std::time_t since);
#endif

} // namespace ordavel
