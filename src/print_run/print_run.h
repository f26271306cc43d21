#pragma once
// The one print sequence: the pages in queue jobs of consecutive records,
// each handed over and its hand-over recorded in the run's ledger (a journal
// job whose records and counters were written first, or the print service's
// queue), then the jobs followed until they end. A front end gives the run a
// page device (what to draw for items [first, end)) and a reporter
// (progress, and whether to go on); the run owns the rest.

#include "print_run/job_follower.h"
#include "print_run/run_journal.h"
#include "print_run/run_ledger.h"
#include "print_run/spooler.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace ordavel {

// Draws a run's items on a queue job's document.
class PageDevice {
public:
    virtual ~PageDevice() = default;
    // Draws items [first, end) on `document`, calling `drawnOne(item)` after
    // each (false: stop after it); returns the end of what was drawn, or
    // nothing when the document could not be drawn on (`error` says why).
    virtual std::optional<std::size_t> draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                            const std::function<bool(std::size_t item)>& drawnOne,
                                            std::string& error) = 0;
};

class RunReporter {
public:
    virtual ~RunReporter() = default;
    // Before item `item` (0-based) of `total` is drawn; false stops the run
    // after the items drawn so far, which are handed over.
    virtual bool proceed(std::size_t item, std::size_t total) = 0;
    // Item `item` of `total` is drawn.
    virtual void drawn(std::size_t /*item*/, std::size_t /*total*/) {}
    // Whether a job stopped while it was drawn is dropped (the user cancelled
    // it: nothing of it goes out) rather than handed over with what was drawn.
    virtual bool dropsStoppedJob() const { return false; }
};

struct RunPlan {
    std::string printer;             // the queue's printer ("" for its default), or the file's path
    std::string name;                // put after the records in each job's title
    std::optional<JobPaper> paper;
    int copies = 1;                  // of each page, made by the queue
    std::vector<std::pair<std::string, std::string>> options; // further job options (SpoolRequest)
    std::size_t items = 1;           // what the device draws: a page, or a batch's items
    std::size_t jobSize = 0;         // items per queue job at most; 0: all in one
    // The journal record of each item (0-based; item i by default); a queue
    // job holds only items whose records follow each other.
    std::function<int(std::size_t item)> recordOf;
    // The title of a job of items [first, end) when no journal is kept; `name` by default.
    std::function<std::string(std::size_t first, std::size_t end)> titleWithoutJournal;
};

struct [[nodiscard]] RunResult {
    std::size_t sent = 0;     // items in jobs the queue took
    bool interrupted = false; // the reporter stopped it
    bool dropped = false;     // stopped by a user's cancel: the job being drawn, if any, was dropped
    bool refused = false;     // the queue refused a job
    std::string refusal;      // the queue's own reason for refusing it
    bool takenOver = false;   // the ledger would not let drawn records go out: another claims them
    std::string error;        // "" when every item was handed over
    bool ok() const { return error.empty(); }
};

class PrintRun {
public:
    PrintRun(RunLedger& ledger, Spooler& spooler);

    // Draws and hands over every item of `plan`; the ledger is told of items
    // never handed over (a journal records them cancelled, or failed where
    // their job was refused, with the reason) and is written.
    RunResult print(const RunPlan& plan, PageDevice& device, RunReporter& reporter);

    // One look at the queue: the records of jobs that ended are recorded.
    // True when no job is left to follow. `unfinished`, when given, receives
    // the queue's list of unfinished jobs.
    bool follow(std::vector<SpoolJob>* unfinished = nullptr);
    // Follows until every job ended or `wait` passed (what is still in the
    // queue then stays printing), sleeping `interval` between looks.
    void settle(std::chrono::milliseconds wait,
                std::chrono::milliseconds interval = std::chrono::milliseconds(250));
    // Writes what is left and gives the job its outcome from its records.
    void finish();

    // The jobs followed: a long-lived run (the print service's) adopts jobs
    // found in the queue, and forgets those it takes back.
    const JobFollower& follower() const { return m_follower; }
    JobFollower& follower() { return m_follower; }

private:
    RunLedger& m_ledger;
    Spooler& m_spooler;
    JobFollower m_follower;
};

} // namespace ordavel
