#pragma once
// A job in the system's print queue (the CUPS scheduler, the Windows
// spooler) as every print path sees it: one state enum, one record.

#include "journal/journal.h"

#include <ctime>
#include <string>

namespace ordavel {

// The IPP job states; the Windows spooler's statuses are mapped onto them.
enum class SpoolJobState { Pending = 3, Held = 4, Processing = 5, Stopped = 6, Cancelled = 7, Aborted = 8, Completed = 9 };
// Cancelled, aborted or completed: nothing more will happen to it.
bool isFinished(SpoolJobState state);

struct SpoolJob {
    int id = 0;
    std::string title;
    std::string printer;
    SpoolJobState state = SpoolJobState::Pending;
    std::time_t created = 0; // when the queue took it
    std::string reason;      // the printer's or the queue's message, "" when none
};

// What the records of a finished job became, with the reason the journal
// keeps; a job still in the queue gives Printing.
struct SpoolOutcome {
    JournalOutcome outcome = JournalOutcome::Printing;
    std::string reason;
};
SpoolOutcome outcomeOf(const SpoolJob& job);

// A printer of the queue and how it stands.
struct PrinterStatus {
    std::string name;
    bool isDefault = false;
    std::string state = "idle"; // "idle", "printing" or "stopped"
    bool accepting = true;
    std::string reason; // the queue's message or state reasons, "" when none
};

} // namespace ordavel
