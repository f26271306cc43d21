#pragma once
// Jobs as the API shows them.

#include "service/job_queue.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <optional>
#include <string>

namespace ordavel::service {

// {"id", "key", "state", "template", "printer", "copies", "created", "records":
// [{"n", "state", "cupsJob"}], "reason"}, with "expires" and "repeats" when set.
nlohmann::json jobJson(const JobSummary& job);
// The time as "2026-12-09T03:41:19Z".
std::string isoTime(std::time_t when);
// A time given as whole seconds since 1970 or in ISO 8601: a date (local
// midnight), or a date and a time ("T" or a space between, HH:MM, seconds
// and their fraction optional) followed by "Z", ±HH:MM, ±HHMM or ±HH, or by
// nothing for local time. Times before 1970 give 0. Nothing when the text is
// neither or names no real date or time.
std::optional<std::time_t> parseIsoTime(const std::string& text);

} // namespace ordavel::service
