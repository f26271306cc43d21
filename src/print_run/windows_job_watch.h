#pragma once
// How a Windows spooler job ended, from what its statuses said while it was
// in the queue. The spooler drops a job from its queue once it has gone to
// the printer (unless the printer keeps printed documents), so an absent job
// tells nothing by itself: a job counts as printed only when the spooler
// said JOB_STATUS_PRINTED, or when it leaves the queue after it was seen
// printing (or sent to the printer) with neither an error nor a deletion.
// The statuses are winspool.h's JOB_STATUS_* bits, repeated here so that
// the decision is tested on every system.

#include "print_run/spool_job.h"

#include <map>
#include <mutex>
#include <optional>

namespace ordavel {

namespace windows_job_status {
inline constexpr unsigned long kPaused = 0x1;
inline constexpr unsigned long kError = 0x2;
inline constexpr unsigned long kDeleting = 0x4;
inline constexpr unsigned long kSpooling = 0x8;
inline constexpr unsigned long kPrinting = 0x10;
inline constexpr unsigned long kOffline = 0x20;
inline constexpr unsigned long kPaperOut = 0x40;
inline constexpr unsigned long kPrinted = 0x80;
inline constexpr unsigned long kDeleted = 0x100;
inline constexpr unsigned long kBlockedDevq = 0x200;
inline constexpr unsigned long kUserIntervention = 0x400;
inline constexpr unsigned long kRestart = 0x800;
inline constexpr unsigned long kComplete = 0x1000; // sent to the printer, not necessarily printed
} // namespace windows_job_status

// A job's state while the spooler lists it: Completed only for PRINTED;
// Cancelled while it is being deleted; Stopped for an error, a printer off
// line, out of paper or waiting for a person; Held when paused; Processing
// while spooling, printing or sent; Pending otherwise.
SpoolJobState windowsJobState(unsigned long status);

// What the spooler said of each followed job. Safe to use from several threads.
class WindowsJobWatch {
public:
    // The job `id` is in the queue with `status`; returns its state.
    SpoolJobState seen(int id, unsigned long status);
    // The job `id` is no longer in the queue: Completed when it was seen
    // printed, or printing or sent without an error; Cancelled when it was
    // seen being deleted; nothing when what it became cannot be told (never
    // seen, seen only waiting or spooling, or seen with an error). A job
    // whose end is known is forgotten.
    std::optional<SpoolJobState> vanished(int id);
    // Stops remembering a job (taken back by the caller).
    void forget(int id);

private:
    struct Seen {
        bool printing = false; // printing, sent or printed
        bool printed = false;
        bool error = false;
        bool deleting = false;
    };
    std::mutex m_mutex;
    std::map<int, Seen> m_jobs;
};

} // namespace ordavel
