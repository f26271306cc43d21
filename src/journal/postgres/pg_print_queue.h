#pragma once
// What an operator decides of a shop queue's job: whether its records still
// wait or print on a station's service, and the `uncertain` ones (handed to
// the spooler of a station whose lease then ran out, so that no one knows
// whether they came out). The paper tells: they came out, or they are put
// back into the queue and print again on the job's printer or pool. Only
// where the journal reaches PostgreSQL (ORDAVEL_SHOP_JOURNAL).

#include "journal/journal.h"
#include "journal/journal_engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::postgres_journal {

class PgConnection;

// For every job of `jobs` (an SQL bigint[]): queued while a record waits
// unsent, printing while one is in a spooler, else printed, or the first of
// failed, cancelled, expired in record order. `reason` ("" to keep the
// job's) goes with a job not printed whole. Runs in the caller's transaction.
ordavel::EngineError settleQueuedJobs(PgConnection& db, const std::string& jobs, const std::string& reason);

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

} // namespace ordavel::postgres_journal
