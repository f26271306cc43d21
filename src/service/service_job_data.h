#pragma once
// A service job as the journal records it: the same for a station's own
// queue and for the queue a shop's stations share.

#include "journal/journal.h"
#include "service/job_queue.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ordavel::service {

// The journal job of `job`, queued: printed from `bytes`, recorded for
// `printer`, its data source naming its token, key and expiry (and, for the
// queue a shop's stations share, that queue); one record per data record,
// with its columns and the boxes it printed.
JournalJobIn journalJobOf(const NewJob& job, const std::string& bytes, const std::string& printer, bool shopQueue);

// What the service keeps in a journal job's data source.
struct ServiceData {
    std::string owner;
    std::string key;
    std::int64_t expires = 0;
};
// Nothing when the data source is not the service's.
std::optional<ServiceData> serviceDataOf(const std::string& dataSource);

} // namespace ordavel::service
