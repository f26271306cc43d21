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
