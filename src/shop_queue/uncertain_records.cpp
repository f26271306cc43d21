#include "shop_queue/uncertain_records.h"

#include "journal/postgres/pg_connection.h"
#include "shop_queue/queued_job_settle.h"

#include <nlohmann/json.hpp>

namespace ordavel::service {

using ordavel::EngineError;
using ordavel::postgres_journal::PgConnection;
using ordavel::postgres_journal::PgResult;

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

} // namespace ordavel::service
