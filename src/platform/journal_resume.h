#pragma once
// Taking up an unfinished journal job again, as `ordavel-cli journal resume`
// and the designer's offer at start-up both do: first ask CUPS what became
// of the jobs the earlier run handed over (their job-names carry the journal
// job and record range), then send exactly the records that did not print.

#include "journal/journal.h"
#include "model/document.h"

#include <chrono>
#include <string>
#include <vector>

namespace ordavel {

struct ResumePlan {
    enum class State {
        Failed,  // `error` says why
        InQueue, // records still in the print queue (or not to be told apart): nothing may be sent yet
        Done,    // every record printed; the job is finished
        ToSend,  // `todo` lists the records to send
    };
    State state = State::Failed;
    std::string error;
    JournalJob job;
    std::vector<JournalRecord> records; // all of the job's, after settling and taking counter values
    std::vector<int> todo;              // journal record indices to send, in order
    int inQueue = 0;
};

// Settles job `id` from CUPS (waiting up to `wait` while jobs are still in
// the queue) and, with records left to send, loads the stored template into
// `doc` and lets records that gave their counter values back take new ones
// (their printed fields merged again). Calibration pages cannot be resumed.
ResumePlan planResume(Journal& journal, JournalJobId id, std::chrono::milliseconds wait, Document& doc);

// The runs of consecutive indices in `indices` as [first, last] pairs:
// each run goes to the printer as one job, so that its job-name's record
// range names exactly the records it holds.
std::vector<std::pair<int, int>> consecutiveRuns(const std::vector<int>& indices);

} // namespace ordavel
