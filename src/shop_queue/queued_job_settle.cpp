#include "shop_queue/queued_job_settle.h"

namespace ordavel::service {

ordavel::EngineError settleQueuedJobs(ordavel::postgres_journal::PgConnection& db, const std::string& jobs,
                                      const std::string& reason)
{
    return db.execute(
        "WITH s AS (SELECT r.job_id,"
        "   bool_or(r.outcome IN ('queued', 'printing') AND r.cups_job_id = 0) AS waiting,"
        "   bool_or(r.outcome IN ('queued', 'printing') AND r.cups_job_id > 0) AS spooled,"
        "   (array_agg(r.outcome ORDER BY r.idx) FILTER (WHERE r.outcome NOT IN ('queued', 'printing', 'printed')))[1]"
        "     AS ended"
        "   FROM records r WHERE r.job_id = ANY($1::bigint[]) GROUP BY r.job_id)"
        " UPDATE jobs j SET"
        " outcome = CASE WHEN s.waiting THEN 'queued' WHEN s.spooled THEN 'printing' ELSE coalesce(s.ended, 'printed') END,"
        " reason = CASE WHEN NOT s.waiting AND NOT s.spooled AND s.ended IS NULL THEN ''"
        "   WHEN $2 <> '' THEN $2 ELSE j.reason END,"
        " finished_at = CASE WHEN s.waiting OR s.spooled THEN 0 ELSE extract(epoch FROM now())::bigint END"
        " FROM s WHERE j.id = s.job_id",
        {jobs, reason});
}

} // namespace ordavel::service
