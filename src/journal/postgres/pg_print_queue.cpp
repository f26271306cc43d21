#include "journal/postgres/pg_print_queue.h"

#include "journal/postgres/pg_connection.h"

#include <nlohmann/json.hpp>

namespace ordavel::postgres_journal {

using ordavel::EngineError;

EngineError settleQueuedJobs(PgConnection& db, const std::string& jobs, const std::string& reason)
{
    // The jobs are named twice: joined only to the grouped records, they
    // were found by reading the whole jobs table.
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
        " FROM s WHERE j.id = s.job_id AND j.id = ANY($1::bigint[])",
        {jobs, reason});
}

bool inShopQueue(const JournalJob& job)
{
    if (job.program != "service" || job.dataSource.empty() || job.dataSource.front() != '{')
        return false;
    const auto data = nlohmann::json::parse(job.dataSource, nullptr, false);
    return data.is_object() && data.contains("service") && data["service"].is_object()
        && data["service"].value("queue", "") == "shop";
}

std::optional<QueuedJobState> queuedJobState(const std::string& url, std::int64_t job, std::string& error)
{
    PgConnection db;
    if (EngineError e = db.connect(url); e.failed()) {
        error = e.message;
        return std::nullopt;
    }
    PgResult rows = db.run("SELECT idx + 1, state, station, printer, cups_job FROM print_queue WHERE job_id = $1"
                           " ORDER BY idx",
                           {job});
    if (EngineError e = db.failure(rows); e.failed()) {
        error = e.message;
        return std::nullopt;
    }
    QueuedJobState state;
    for (int row = 0; row < rows.rows(); ++row) {
        if (rows.text(row, 1) != "uncertain") {
            ++state.waiting;
            continue;
        }
        state.uncertain.push_back({static_cast<int>(rows.integer(row, 0)), rows.text(row, 2), rows.text(row, 3),
                                   static_cast<int>(rows.integer(row, 4))});
    }
    return state;
}

std::optional<int> decideUncertain(const std::string& url, std::int64_t job, const std::vector<int>& records,
                                   UncertainDecision decision, std::string& error)
{
    PgConnection db;
    if (EngineError e = db.connect(url); e.failed()) {
        error = e.message;
        return std::nullopt;
    }
    std::string indices = "{";
    for (const int n : records)
        indices += (indices.size() > 1 ? "," : "") + std::to_string(n - 1);
    indices += "}";
    const bool all = records.empty();
    int decided = 0;
    const auto work = [&]() -> EngineError {
        // The rows decided, locked against a station that starts again and reconciles them.
        PgResult rows = db.run("SELECT idx FROM print_queue WHERE job_id = $1 AND state = 'uncertain'"
                               " AND ($2 OR idx = ANY($3::integer[])) ORDER BY idx FOR UPDATE",
                               {job, all ? "true" : "false", indices});
        if (EngineError e = db.failure(rows); e.failed())
            return e;
        decided = rows.rows();
        if (decided == 0)
            return {};
        std::string taken = "{";
        for (int row = 0; row < rows.rows(); ++row)
            taken += (row > 0 ? "," : "") + std::to_string(rows.integer(row, 0));
        taken += "}";
        if (decision == UncertainDecision::Printed) {
            if (EngineError e = db.execute("UPDATE records SET outcome = 'printed', reason = '操作员确认已打印'"
                                           " WHERE job_id = $1 AND idx = ANY($2::integer[])",
                                           {job, taken});
                e.failed())
                return e;
            if (EngineError e = db.execute("DELETE FROM print_queue WHERE job_id = $1 AND idx = ANY($2::integer[])",
                                           {job, taken});
                e.failed())
                return e;
        } else {
            if (EngineError e = db.execute("UPDATE records SET outcome = 'queued', reason = '', cups_job_id = 0,"
                                           " station = '', printed_on = ''"
                                           " WHERE job_id = $1 AND idx = ANY($2::integer[])",
                                           {job, taken});
                e.failed())
                return e;
            if (EngineError e = db.execute(
                    "WITH again AS (UPDATE print_queue SET state = 'queued', holder = '', station = '', printer = '',"
                    " cups_job = 0, lease_until = NULL WHERE job_id = $1 AND idx = ANY($2::integer[]) RETURNING target)"
                    " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM again) t",
                    {job, taken});
                e.failed())
                return e;
        }
        return settleQueuedJobs(db, "{" + std::to_string(job) + "}", "");
    };
    if (EngineError e = db.execute("BEGIN"); e.failed()) {
        error = e.message;
        return std::nullopt;
    }
    if (EngineError e = work(); e.failed()) {
        db.execute("ROLLBACK");
        error = e.message;
        return std::nullopt;
    }
    if (EngineError e = db.execute("COMMIT"); e.failed()) {
        error = e.message;
        return std::nullopt;
    }
    return decided;
}

} // namespace ordavel::postgres_journal
