#include "print_run/spool_job.h"

namespace ordavel {

bool isFinished(SpoolJobState state)
{
    return state == SpoolJobState::Cancelled || state == SpoolJobState::Aborted || state == SpoolJobState::Completed;
}

SpoolOutcome outcomeOf(const SpoolJob& job)
{
    switch (job.state) {
    case SpoolJobState::Completed: return {JournalOutcome::Printed, {}};
    case SpoolJobState::Cancelled: return {JournalOutcome::Cancelled, "cancelled in the print queue"};
    case SpoolJobState::Aborted:
        return {JournalOutcome::Failed, job.reason.empty() ? std::string("aborted by the printer") : job.reason};
    default: return {JournalOutcome::Printing, {}};
    }
}

} // namespace ordavel
