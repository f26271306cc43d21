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

class QWidget;

namespace ordavel {

class RunJournal;

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

// The file records resumed from a print to the file `printed` go to: beside
// it, named after it with "-resumed" ("batch.pdf" -> "batch-resumed.pdf",
// then "batch-resumed-2.pdf", ...), the first such name no file has. The
// earlier file is never written again.
std::string resumedFileName(const std::string& printed);

// What resuming a print to a file wrote.
struct ResumedFiles {
    std::vector<std::string> files; // the new files, one per run of records, in order
    bool completed = false;          // every run was written whole
    std::string error;               // why no new file could be made, else empty
};
// Writes the plan's records (of a job printed to a file) to new files named
// by resumedFileName, each taken before it is written so that no existing
// file is overwritten, one per run of consecutive records, as records of
// `journal`. Runs after a failed one are given up as cancelled.
ResumedFiles resumeToFiles(const ResumePlan& plan, const Document& doc, RunJournal& journal,
                           QWidget* progressParent);

} // namespace ordavel
