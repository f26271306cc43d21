#include "journal/postgres/pg_engine.h"

#include "journal/postgres/pg_schema.h"
#include "journal/postgres/pg_values.h"
#include "journal/stored_values.h"

#include <algorithm>

namespace ordavel::postgres_journal {

using namespace journal_detail;

Journal::Opened PgEngine::open(const std::string& url, const std::string& station,
                               std::unique_ptr<JournalEngine>& engine)
{
    Journal::Opened opened;
    std::unique_ptr<PgEngine> made(new PgEngine);
    made->m_station = station;
    if (EngineError error = made->m_connection.connect(url); error.failed()) {
        opened.error = error.message;
        return opened;
    }
    const JournalResult<int> version = checkSchema(made->m_connection);
    if (!version.ok()) {
        opened.error = version.error;
        return opened;
    }
    made->m_version = version.value;
    engine = std::move(made);
    return opened;
}

// A job's records sent in the pipeline go with their commit, and the
// caller goes on; awaitCommit() reads how it ended.
EngineError PgEngine::commitOutermost()
{
    if (!m_connection.sending())
        return m_connection.execute("COMMIT");
    if (EngineError error = m_connection.send("COMMIT"); error.failed())
        return error;
    return m_connection.flush();
}

// What was sent is read first, so that its failure is not taken for a later one's.
EngineError PgEngine::rollbackOutermost()
{
    (void)m_connection.settle();
    return m_connection.execute("ROLLBACK");
}

EngineError PgEngine::beginOutermost()
{
    if (EngineError error = m_connection.reconnect(); error.failed())
        return error;
    return m_connection.execute("BEGIN");
}

EngineError PgEngine::savepoint(int depth)
{
    return m_connection.execute(("SAVEPOINT s" + std::to_string(depth)).c_str());
}

EngineError PgEngine::releaseSavepoint(int depth)
{
    return m_connection.execute(("RELEASE SAVEPOINT s" + std::to_string(depth)).c_str());
}

EngineError PgEngine::rollbackToSavepoint(int depth)
{
    return m_connection.execute(("ROLLBACK TO SAVEPOINT s" + std::to_string(depth)).c_str());
}

std::string PgEngine::markResumeOffered(JournalJobId id)
{
    return write([&] { return m_connection.execute("UPDATE jobs SET resume_offered = true WHERE id = $1", {id}); });
}

JournalResult<bool> PgEngine::claimJob(JournalJobId id, const std::string& claimant)
{
    JournalResult<bool> result;
    result.error = write([&]() -> EngineError {
        // The row's lock makes the second of two claims wait for the first
        // and then find the job no longer queued.
        PgResult claim = m_connection.run("UPDATE jobs SET outcome = 'printing', claimant = $2 WHERE id = $1 AND outcome = 'queued'",
                                          {id, text(claimant)});
        if (EngineError error = m_connection.failure(claim); error.failed())
            return error;
        result.value = claim.changed() == 1;
        if (!result.value)
            return {};
        return m_connection.execute("UPDATE records SET outcome = 'printing' WHERE job_id = $1 AND outcome = 'queued'", {id});
    });
    return result;
}

std::string PgEngine::markPrinting(JournalJobId id)
{
    return write([&]() -> EngineError {
        PgResult job = m_connection.run("UPDATE jobs SET outcome = 'printing', claimant = $2 WHERE id = $1",
                                        {id, text(runningHere())});
        if (EngineError error = m_connection.failure(job); error.failed())
            return error;
        if (job.changed() != 1)
            return {kFailed, "no journal job " + std::to_string(id)};
        return m_connection.execute("UPDATE records SET outcome = 'printing' WHERE job_id = $1 AND outcome = 'queued'", {id});
    });
}

std::string PgEngine::addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex)
{
    return write([&]() -> EngineError {
        PgResult read = m_connection.run("SELECT cups_job_ids FROM jobs WHERE id = $1 FOR UPDATE", {id});
        if (EngineError error = m_connection.failure(read); error.failed())
            return error;
        if (read.rows() == 0)
            return {kFailed, "no journal job " + std::to_string(id)};
        std::vector<int> ids = splitIds(read.text(0, 0));
        if (cupsJobId > 0 && std::find(ids.begin(), ids.end(), cupsJobId) == ids.end())
            ids.push_back(cupsJobId);
        if (EngineError error = m_connection.execute("UPDATE jobs SET cups_job_ids = $2 WHERE id = $1", {id, joinIds(ids)});
            error.failed())
            return error;
        return m_connection.execute("UPDATE records SET cups_job_id = $2 WHERE job_id = $1 AND idx BETWEEN $3 AND $4",
                                    {id, cupsJobId, firstIndex, lastIndex});
    });
}

std::string PgEngine::setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places)
{
    return write([&]() -> EngineError {
        for (const JournalPlace& place : places)
            if (EngineError error = m_connection.execute("UPDATE records SET sheet = $3, cell = $4 WHERE job_id = $1 AND idx = $2",
                                                         {id, place.index, place.sheet, place.cell});
                error.failed())
                return error;
        return {};
    });
}

std::string PgEngine::finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason)
{
    return write([&]() -> EngineError {
        PgResult update = m_connection.run("UPDATE jobs SET outcome = $2, reason = $3, finished_at = $4 WHERE id = $1",
                                           {id, outcomeName(outcome), text(reason), isFinal(outcome) ? now() : 0});
        if (EngineError error = m_connection.failure(update); error.failed())
            return error;
        if (update.changed() != 1)
            return {kFailed, "no journal job " + std::to_string(id)};
        return {};
    });
}

JournalResult<int> PgEngine::expireQueued(JournalTime before, const std::string& reason)
{
    JournalResult<int> result;
    result.error = write([&]() -> EngineError {
        if (EngineError error = m_connection.execute(
                "UPDATE records SET outcome = 'expired', reason = $2 WHERE outcome = 'queued' AND job_id IN"
                " (SELECT id FROM jobs WHERE outcome = 'queued' AND created_at < $1)",
                {before, text(reason)});
            error.failed())
            return error;
        PgResult jobs = m_connection.run("UPDATE jobs SET outcome = 'expired', reason = $2, finished_at = $3"
                                         " WHERE outcome = 'queued' AND created_at < $1",
                                         {before, text(reason), now()});
        result.value = static_cast<int>(jobs.changed());
        return m_connection.failure(jobs);
    });
    return result;
}

JournalResult<std::int64_t> PgEngine::changeCount()
{
    JournalResult<std::int64_t> result;
    result.error = read([&] {
        PgResult sum = m_connection.run("SELECT coalesce(sum(count), 0) FROM changes");
        result.value = sum.integer(0, 0);
        return m_connection.failure(sum);
    });
    return result;
}

JournalResult<std::optional<JournalJob>> PgEngine::job(JournalJobId id)
{
    JournalResult<std::optional<JournalJob>> result;
    std::vector<JournalJob> found;
    result.error = read([&] { return jobsWhere("id = $1", {id}, "", found); });
    if (!found.empty())
        result.value = std::move(found.front());
    return result;
}

JournalResult<std::vector<JournalRecord>> PgEngine::records(JournalJobId id)
{
    JournalResult<std::vector<JournalRecord>> result;
    result.error = read([&] {
        PgResult select = m_connection.run("SELECT id, idx, number, copies, fields, columns, outcome, reason, cups_job_id,"
                                           " counter_values, sheet, cell FROM records WHERE job_id = $1 ORDER BY idx",
                                           {id});
        for (int row = 0; row < select.rows(); ++row) {
            JournalRecord record;
            record.id = select.integer(row, 0);
            record.job = id;
            record.index = static_cast<int>(select.integer(row, 1));
            record.number = static_cast<int>(select.integer(row, 2));
            record.copies = static_cast<int>(select.integer(row, 3));
            const std::string fields = select.text(row, 4);
            record.fields = valuesFromJson(fields);
            record.fieldsPending = fields.empty();
            record.columns = valuesFromJson(select.text(row, 5));
            record.outcome = outcomeNamed(select.text(row, 6)).value_or(JournalOutcome::Failed);
            record.reason = select.text(row, 7);
            record.cupsJobId = static_cast<int>(select.integer(row, 8));
            record.counters = countersFromJson(select.text(row, 9));
            record.sheet = static_cast<int>(select.integer(row, 10));
            record.cell = static_cast<int>(select.integer(row, 11));
            result.value.push_back(std::move(record));
        }
        return m_connection.failure(select);
    });
    return result;
}

JournalResult<int> PgEngine::countUnfinished(const std::string& program)
{
    JournalResult<int> result;
    result.error = read([&] {
        PgResult count = m_connection.run("SELECT count(*) FROM jobs WHERE outcome IN ('queued', 'printing') AND program = $1",
                                          {text(program)});
        result.value = static_cast<int>(count.integer(0, 0));
        return m_connection.failure(count);
    });
    return result;
}

JournalResult<std::optional<std::string>> PgEngine::templateBytes(const std::string& hash)
{
    JournalResult<std::optional<std::string>> result;
    result.error = read([&] {
        PgResult select = m_connection.run("SELECT bytes FROM templates WHERE hash = $1", {text(hash)}, true);
        if (select.rows() > 0)
            result.value = select.text(0, 0);
        return m_connection.failure(select);
    });
    return result;
}

JournalResult<std::int64_t> PgEngine::nextCounterValue(const std::string& name)
{
    JournalResult<std::int64_t> result;
    result.value = 1;
    result.error = read([&] {
        PgResult select = m_connection.run("SELECT next_value FROM counters WHERE name = $1", {text(name)});
        if (select.rows() > 0)
            result.value = select.integer(0, 0);
        return m_connection.failure(select);
    });
    return result;
}

std::string PgEngine::setNextCounterValue(const std::string& name, std::int64_t next)
{
    return write([&] {
        return m_connection.execute("INSERT INTO counters(name, next_value) VALUES ($1, $2)"
                                    " ON CONFLICT (name) DO UPDATE SET next_value = excluded.next_value",
                                    {text(name), next});
    });
}

JournalResult<std::vector<CounterValue>> PgEngine::counters()
{
    JournalResult<std::vector<CounterValue>> result;
    result.error = read([&] {
        PgResult select = m_connection.run("SELECT name, next_value FROM counters ORDER BY name COLLATE \"C\"");
        for (int row = 0; row < select.rows(); ++row)
            result.value.push_back({select.text(row, 0), select.integer(row, 1)});
        return m_connection.failure(select);
    });
    return result;
}

JournalResult<int> PgEngine::pruneBefore(JournalTime before)
{
    JournalResult<int> result;
    result.error = write([&]() -> EngineError {
        PgResult jobs = m_connection.run("DELETE FROM jobs WHERE created_at < $1 AND outcome NOT IN ('queued', 'printing')",
                                         {before});
        if (EngineError error = m_connection.failure(jobs); error.failed())
            return error;
        result.value = static_cast<int>(jobs.changed());
        return m_connection.execute("DELETE FROM templates t WHERE NOT EXISTS (SELECT 1 FROM jobs j WHERE j.template_hash = t.hash)"
                                     " AND NOT EXISTS (SELECT 1 FROM library l WHERE l.template_hash = t.hash)");
    });
    return result;
}

JournalResult<JournalStats> PgEngine::stats()
{
    JournalResult<JournalStats> result;
    result.error = read([&] {
        PgResult select = m_connection.run(
            "SELECT (SELECT count(*) FROM jobs), (SELECT count(*) FROM records), (SELECT count(*) FROM templates),"
            " (SELECT coalesce(sum(size), 0) FROM templates), (SELECT coalesce(min(created_at), 0) FROM jobs),"
            " (SELECT coalesce(max(created_at), 0) FROM jobs), pg_database_size(current_database())");
        if (select.rows() > 0) {
            result.value.jobs = select.integer(0, 0);
            result.value.records = select.integer(0, 1);
            result.value.templates = select.integer(0, 2);
            result.value.templateBytes = select.integer(0, 3);
            result.value.oldest = select.integer(0, 4);
            result.value.newest = select.integer(0, 5);
            result.value.fileBytes = select.integer(0, 6);
        }
        return m_connection.failure(select);
    });
    return result;
}

std::string PgEngine::joinStation(const std::string& name)
{
    std::string holder;
    std::string error = write([&]() -> EngineError {
        if (EngineError failed = m_connection.execute(
                "INSERT INTO stations(name, user_name, host, joined_at) VALUES ($1, $2, $3, $4) ON CONFLICT (name) DO NOTHING",
                {name, userName(), hostName(), now()});
            failed.failed())
            return failed;
        PgResult row = m_connection.run("SELECT user_name, host FROM stations WHERE name = $1", {name});
        if (EngineError failed = m_connection.failure(row); failed.failed())
            return failed;
        if (row.rows() > 0 && (row.text(0, 0) != userName() || row.text(0, 1) != hostName()))
            holder = row.text(0, 0) + "@" + row.text(0, 1);
        return {};
    });
    if (error.empty() && !holder.empty())
        error = "the shop has a station named “" + name + "” already (" + holder + ")";
    if (error.empty())
        m_station = name;
    return error;
}

JournalResult<std::vector<JournalStation>> PgEngine::stations()
{
    JournalResult<std::vector<JournalStation>> result;
    result.error = read([&] {
        PgResult select = m_connection.run(
            "SELECT s.name, s.user_name, s.host, s.joined_at,"
            " coalesce((SELECT max(j.created_at) FROM jobs j WHERE j.station = s.name), 0)"
            " FROM stations s ORDER BY s.name");
        for (int row = 0; row < select.rows(); ++row)
            result.value.push_back({select.text(row, 0), select.text(row, 1), select.text(row, 2),
                                    select.integer(row, 3), select.integer(row, 4)});
        return m_connection.failure(select);
    });
    return result;
}

JournalResult<bool> PgEngine::markUploaded(JournalJobId localId)
{
    JournalResult<bool> result;
    result.error = write([&]() -> EngineError {
        PgResult taken = m_connection.run("INSERT INTO uploads(station, local_id, uploaded_at) VALUES ($1, $2, $3)"
                                          " ON CONFLICT DO NOTHING RETURNING local_id",
                                          {m_station, localId, now()});
        if (EngineError error = m_connection.failure(taken); error.failed())
            return error;
        result.value = taken.rows() == 1;
        return {};
    });
    return result;
}

JournalResult<JournalJobId> PgEngine::lastUploaded()
{
    JournalResult<JournalJobId> result;
    result.error = read([&] {
        PgResult last = m_connection.run("SELECT coalesce(max(local_id), 0) FROM uploads WHERE station = $1", {m_station});
        if (last.rows() > 0)
            result.value = last.integer(0, 0);
        return m_connection.failure(last);
    });
    return result;
}

} // namespace ordavel::postgres_journal
