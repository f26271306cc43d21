#include "shop_queue/pool_failover.h"

namespace ordavel::service {

using ordavel::EngineError;
using ordavel::postgres_journal::PgResult;

std::string firstUsableMember(const std::string& failedOn)
{
    return "(SELECT u.m FROM unnest(p.members) WITH ORDINALITY AS u(m, o)"
           " JOIN shop_printers s ON s.station || '/' || s.printer = u.m"
           " WHERE s.accepting AND s.state <> 'stopped' AND s.updated > now() - interval '15 seconds'"
           " AND u.m <> ALL("
        + failedOn + ") ORDER BY u.o LIMIT 1)";
}

EngineError failWhereNoMemberIsLeft(ordavel::postgres_journal::PgConnection& db, const std::string& jobs,
                                    const std::string& reason)
{
    return db.execute("WITH dead AS (DELETE FROM print_queue q USING shop_pools p WHERE p.name = q.target"
                      "   AND q.job_id = ANY($1::bigint[]) AND q.state = 'queued' AND p.members <@ q.failed_on"
                      "   RETURNING q.job_id, q.idx)"
                      " UPDATE records r SET outcome = 'failed', reason = $2 FROM dead"
                      " WHERE r.job_id = dead.job_id AND r.idx = dead.idx AND r.outcome IN ('queued', 'printing')",
                      {jobs, "池中的每台打印机都打印失败：" + reason});
}

EngineError failOver(ordavel::postgres_journal::PgConnection& db, const std::string& jobs, const std::string& indices,
                     const std::string& holder, const std::string& reason, std::int64_t& moved, std::string& member)
{
    moved = 0;
    member.clear();
    PgResult failed = db.run("SELECT DISTINCT q.job_id, q.target, q.station || '/' || q.printer"
                             " FROM print_queue q JOIN unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                             "   ON q.job_id = w.job_id AND q.idx = w.idx"
                             " JOIN shop_pools p ON p.name = q.target WHERE q.station <> ''",
                             {jobs, indices});
    if (EngineError e = db.failure(failed); e.failed())
        return e;
    for (int row = 0; row < failed.rows(); ++row) {
        member = failed.text(row, 2);
        const std::int64_t job = failed.integer(row, 0);
        const std::string pool = failed.text(row, 1);
        // What this holder claimed there and has not handed over waits again.
        if (EngineError e = db.execute("UPDATE print_queue q SET state = 'queued', holder = '', station = '', printer = ''"
                                       " WHERE q.job_id = $1 AND q.target = $2 AND q.state = 'claimed' AND q.holder = $4"
                                       " AND q.station || '/' || q.printer = $3",
                                       {job, pool, member, holder});
            e.failed())
            return e;
        // Every row of the job skips the failed member from now on, the
        // handed ones too: one that comes back from an uncertain station
        // must not return to the printer that failed it.
        if (EngineError e = db.execute("UPDATE print_queue q SET failed_on = array_append(q.failed_on, $3::text)"
                                       " WHERE q.job_id = $1 AND q.target = $2 AND $3::text <> ALL(q.failed_on)",
                                       {job, pool, member});
            e.failed())
            return e;
        if (EngineError e = failWhereNoMemberIsLeft(db, "{" + std::to_string(job) + "}", reason); e.failed())
            return e;
        PgResult again = db.run("SELECT count(*) FROM print_queue q WHERE q.job_id = $1 AND q.target = $2"
                                " AND q.state = 'queued'",
                                {job, pool});
        if (EngineError e = db.failure(again); e.failed())
            return e;
        moved += again.integer(0, 0);
        if (EngineError e = db.execute("SELECT pg_notify('print_queue', $1)", {pool}); e.failed())
            return e;
    }
    return {};
}

} // namespace ordavel::service
