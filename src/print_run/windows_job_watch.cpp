#include "print_run/windows_job_watch.h"

namespace ordavel {

using namespace windows_job_status;

namespace {

constexpr unsigned long kTrouble = kError | kOffline | kPaperOut | kBlockedDevq | kUserIntervention;

} // namespace

SpoolJobState windowsJobState(unsigned long status)
{
    if (status & kPrinted)
        return SpoolJobState::Completed;
    if (status & (kDeleted | kDeleting))
        return SpoolJobState::Cancelled;
    if (status & kTrouble)
        return SpoolJobState::Stopped;
    if (status & kPaused)
        return SpoolJobState::Held;
    if (status & (kPrinting | kSpooling | kComplete | kRestart))
        return SpoolJobState::Processing;
    return SpoolJobState::Pending;
}

SpoolJobState WindowsJobWatch::seen(int id, unsigned long status)
{
    const SpoolJobState state = windowsJobState(status);
    const std::lock_guard lock(m_mutex);
    Seen& job = m_jobs[id];
    job.printed = job.printed || (status & kPrinted) != 0;
    job.printing = job.printing || (status & (kPrinting | kComplete | kPrinted)) != 0;
    job.error = job.error || (status & kError) != 0;
    job.deleting = job.deleting || (status & (kDeleting | kDeleted)) != 0;
    // A restarted job prints again from the start: what it did before tells nothing.
    if (status & kRestart)
        job = Seen{};
    // Printed is told now and for good; a deletion is also told when the job is gone.
    if (state == SpoolJobState::Completed)
        m_jobs.erase(id);
    return state;
}

std::optional<SpoolJobState> WindowsJobWatch::vanished(int id)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return std::nullopt;
    const Seen job = it->second;
    std::optional<SpoolJobState> ended;
    if (job.printed)
        ended = SpoolJobState::Completed;
    else if (job.deleting)
        ended = SpoolJobState::Cancelled;
    else if (job.printing && !job.error)
        ended = SpoolJobState::Completed;
    if (ended)
        m_jobs.erase(it);
    return ended;
}

void WindowsJobWatch::forget(int id)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.erase(id);
}

} // namespace ordavel
