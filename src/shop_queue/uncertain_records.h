#pragma once
// What an operator decides of a shop queue's job: whether its records still
// wait or print on a station's service, and the `uncertain` ones (handed to
// the spooler of a station whose lease then ran out, so that no one knows
// whether they came out). The paper tells: they came out, or they are put
// back into the queue and print again on the job's printer or pool.

#include "journal/journal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::service {

// Whether `job` was posted to the shop's print queue (a service job marked so).
bool inShopQueue(const JournalJob& job);

struct UncertainRecord {
    int n = 0; // 1-based
    std::string station;
    std::string printer;
    int spoolJob = 0; // the spooler job of that station
};

struct QueuedJobState {
    int waiting = 0; // records queued, claimed or handed over by a running station
    std::vector<UncertainRecord> uncertain;
};

// The job's records in the shop's queue; nothing with `error` set when the
// shop cannot be read.
std::optional<QueuedJobState> queuedJobState(const std::string& url, std::int64_t job, std::string& error);

enum class UncertainDecision {
    Printed,    // they came out: recorded printed, out of the queue
    PrintAgain, // they did not: back to the queue, to print once more
};

// Applies `decision` to the uncertain records `records` (1-based; empty: all
// of them) of `job`, in one transaction; how many it applied to, or nothing
// with `error` set.
std::optional<int> decideUncertain(const std::string& url, std::int64_t job, const std::vector<int>& records,
                                   UncertainDecision decision, std::string& error);

} // namespace ordavel::service
