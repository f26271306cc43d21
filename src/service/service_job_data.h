#pragma once
// A service job as the journal records it: the same for a station's own
// queue and for the queue a shop's stations share.

#include "journal/journal.h"
#include "service/job_queue.h"

#include <string>

namespace ordavel::service {

// The journal job of `job`, queued: printed from `bytes`, recorded for
// `printer`, with the queue's `dataSource`; one record per data record, with
// its columns and the boxes it printed.
JournalJobIn journalJobOf(const NewJob& job, const std::string& bytes, const std::string& printer,
                          const std::string& dataSource);

} // namespace ordavel::service
