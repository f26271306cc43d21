#pragma once
// A job of the shop's queue takes its state from its records, in the
// database: what the station's own queue does in memory (settleJob).

#include "journal/postgres/pg_connection.h"

#include <string>

namespace ordavel::service {

// For every job of `jobs` (an SQL bigint[]): queued while a record waits
// unsent, printing while one is in a spooler, else printed, or the first of
// failed, cancelled, expired in record order. `reason` ("" to keep the
// job's) goes with a job not printed whole. Runs in the caller's transaction.
ordavel::EngineError settleQueuedJobs(ordavel::postgres_journal::PgConnection& db, const std::string& jobs,
                                      const std::string& reason);

} // namespace ordavel::service
