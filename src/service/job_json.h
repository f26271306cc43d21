#pragma once
// Jobs as the API shows them.

#include "service/job_queue.h"

#include <nlohmann/json.hpp>

namespace ordavel::service {

// {"id", "key", "state", "template", "printer", "copies", "created", "records":
// [{"n", "state", "cupsJob"}], "reason"}, with "expires" and "repeats" when set.
nlohmann::json jobJson(const JobSummary& job);
// The time as "2026-12-09T03:41:19Z".
std::string isoTime(std::time_t when);

} // namespace ordavel::service
