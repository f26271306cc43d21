#pragma once
// What a print run records of its records' fate: a journal job's records for
// the designer and the tool (RunJournal), the queued records of the print
// service. Items of the run are numbered by PrintRun's `recordOf`; [first,
// last] below are those numbers.

#include "print_run/job_follower.h"
#include "print_run/job_title.h"

#include <string>
#include <vector>

namespace ordavel {

// Why records were not handed over.
enum class NotHandedOver {
    Refused,   // the queue refused their job
    NotDrawn,  // their pages could not be drawn, or the queue's document not made
    Stopped,   // the run was stopped before they went out
    TakenOver, // another claims them now: they are not this run's to hand over
};

class RunLedger {
public:
    virtual ~RunLedger() = default;

    // Whether records are kept: queue jobs are then titled by them and followed.
    virtual bool keepsRecords() const = 0;
    // The queue job title of records [first, last].
    virtual std::string titleOf(int first, int last, const std::string& name) const = 0;
    // Records [first, last] as the follower keeps them.
    virtual std::vector<RecordRef> refsOf(int first, int last) const = 0;
    // Asked just before records [first, last] are handed over.
    virtual bool mayHandOver(int /*first*/, int /*last*/) { return true; }
    // Why mayHandOver said no.
    virtual std::string heldBack() const { return "taken over by another"; }
    // Records [first, last] went to queue job `spoolId`, or to a file (printed as it stands).
    virtual void handedOver(int first, int last, int spoolId, bool toFile) = 0;
    virtual void notHandedOver(int first, int last, NotHandedOver why, const std::string& reason) = 0;
    // A followed queue job ended.
    virtual void ended(const JobFollower::Ended& job) = 0;
    // Writes what was kept, where the ledger keeps anything back.
    virtual void flush() {}
    // flush(), and whatever ends the ledger's part once the run is over.
    virtual void finish() { flush(); }
};

} // namespace ordavel
