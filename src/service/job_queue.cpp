#include "service/job_queue.h"

namespace ordavel::service {

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Queued: return "queued";
    case Outcome::Printing: return "printing";
    case Outcome::Printed: return "printed";
    case Outcome::Failed: return "failed";
    case Outcome::Cancelled: return "cancelled";
    case Outcome::Expired: return "expired";
    }
    return "queued";
}

Outcome outcomeFromJournal(JournalOutcome outcome)
{
    switch (outcome) {
    case JournalOutcome::Queued: return Outcome::Queued;
    case JournalOutcome::Printing: return Outcome::Printing;
    case JournalOutcome::Printed: return Outcome::Printed;
    case JournalOutcome::Failed: return Outcome::Failed;
    case JournalOutcome::Cancelled: return Outcome::Cancelled;
    case JournalOutcome::Expired: return Outcome::Expired;
    }
    return Outcome::Queued;
}

JournalOutcome journalOutcomeOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Queued: return JournalOutcome::Queued;
    case Outcome::Printing: return JournalOutcome::Printing;
    case Outcome::Printed: return JournalOutcome::Printed;
    case Outcome::Failed: return JournalOutcome::Failed;
    case Outcome::Cancelled: return JournalOutcome::Cancelled;
    case Outcome::Expired: return JournalOutcome::Expired;
    }
    return JournalOutcome::Queued;
}

bool isFinal(Outcome outcome) { return outcome != Outcome::Queued && outcome != Outcome::Printing; }

void settleJob(JobSummary& summary)
{
    bool queued = false, printing = false;
    Outcome done = Outcome::Printed;
    for (const auto& r : summary.records) {
        if (r.outcome == Outcome::Queued)
            queued = true;
        else if (r.outcome == Outcome::Printing)
            printing = true;
        else if (r.outcome != Outcome::Printed && done == Outcome::Printed)
            done = r.outcome;
    }
    summary.outcome = queued ? Outcome::Queued : printing ? Outcome::Printing : done;
    if (summary.outcome == Outcome::Printed)
        summary.reason.clear();
}

} // namespace ordavel::service
