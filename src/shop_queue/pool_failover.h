#pragma once
// Failover within a pool: when a member of a pool fails a job (its spooler
// refused the job's pages, or ended them in error while the printer stays
// enabled), the records of that job not yet handed over are offered to the
// pool's next member; a member that failed a job is not offered that job's
// records again. A job every member failed ends failed.

#include "journal/postgres/pg_connection.h"

#include <string>

namespace ordavel::service {

// The first member of pool `p` (a `shop_pools` row in the query) that takes
// work now: published lately, accepting and not stopped, and not among
// `failedOn` (an SQL text[] expression; '{}' for none).
std::string firstUsableMember(const std::string& failedOn);

// Records `jobs`/`indices` (SQL arrays of their queue rows, not yet deleted)
// failed on the member their rows name. For each of their jobs sent to a
// pool: that member joins the rows' failed members; the rows still waiting,
// or claimed by `holder` and not handed over, wait again for the next
// member; rows no member is left for end failed with `reason`. Runs in the
// caller's transaction; `moved` tells how many rows went on, and `member`
// the member that failed ("" when none was a pool's).
ordavel::EngineError failOver(ordavel::postgres_journal::PgConnection& db, const std::string& jobs,
                              const std::string& indices, const std::string& holder, const std::string& reason,
                              std::int64_t& moved, std::string& member);

// The waiting rows of `jobs` (an SQL bigint[]) whose pool has no member
// left that did not fail them: their records end failed, with `reason`.
ordavel::EngineError failWhereNoMemberIsLeft(ordavel::postgres_journal::PgConnection& db, const std::string& jobs,
                                             const std::string& reason);

} // namespace ordavel::service
