#pragma once
// At start-up the designer looks in the print journal for its own batches
// that did not finish (this user, this machine, the printing process gone)
// and offers, through the prompter, to send the records that did not print,
// as `ordavel-cli journal resume JOB` does. Each job is asked about once:
// after "否" it stays as it is and can still be resumed with the tool.

#include "platform/journal_session.h"

class QWidget;

namespace ordavel {

class Prompter;

// Asks about each such job, oldest first, and prints those the user wants.
// The number of jobs resumed.
int offerResume(Prompter& prompter, QWidget* parent, JournalSession& session);

} // namespace ordavel
