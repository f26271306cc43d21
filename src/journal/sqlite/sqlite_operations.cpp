#include "journal/sqlite/sqlite_engine.h"

#include "journal/sqlite/sqlite_schema.h"
#include "journal/stored_values.h"

#include <filesystem>

namespace ordavel::sqlite_journal {

using namespace journal_detail;

JournalJob jobFrom(const Statement& row)
{
    JournalJob job;
    job.id = row.integer(0);
    job.createdAt = row.integer(1);
    job.finishedAt = row.integer(2);
    job.user = row.text(3);
    job.host = row.text(4);
    job.program = row.text(5);
    job.kind = row.text(6);
    job.printer = row.text(7);
    job.templatePath = row.text(8);
    // Older journals kept the designer's and the tool's names with ".oxf".
    job.templateName = journalTemplateName(row.text(9));
    job.templateHash = row.text(10);
    job.calibration = row.text(11);
    job.copies = static_cast<int>(row.integer(12));
    job.dataSource = row.text(13);
    job.repeats = row.integer(14);
    job.outcome = outcomeNamed(row.text(15)).value_or(JournalOutcome::Failed);
    job.reason = row.text(16);
    job.claimant = row.text(17);
    job.cupsJobIds = splitIds(row.text(18));
    job.recordCount = static_cast<int>(row.integer(19));
    job.printedCount = static_cast<int>(row.integer(20));
    job.resumeOffered = row.integer(21) != 0;
    return job;
}


std::string SqliteEngine::markResumeOffered(JournalJobId id)
{
    return write([&]() -> DbError {
        Statement update(m_db, "UPDATE jobs SET resume_offered = 1 WHERE id = ?1");
        update.bind(1, id);
        update.step();
        return fail(update);
    });
}

JournalResult<bool> SqliteEngine::claimJob(JournalJobId id, const std::string& claimant)
{
    JournalResult<bool> result;
    result.error = write([&]() -> DbError {
        Statement claim(m_db, "UPDATE jobs SET outcome = 'printing', claimant = ?2 WHERE id = ?1 AND outcome = 'queued'");
        claim.bind(1, id).bind(2, claimant);
        if (claim.step(), claim.code() != SQLITE_OK)
            return fail(claim);
        result.value = sqlite3_changes(m_db) == 1;
        if (!result.value)
            return {};
        Statement records(m_db, "UPDATE records SET outcome = 'printing' WHERE job_id = ?1 AND outcome = 'queued'");
        records.bind(1, id);
        records.step();
        return fail(records);
    });
    return result;
}

std::string SqliteEngine::markPrinting(JournalJobId id)
{
    return write([&]() -> DbError {
        Statement job(kept("UPDATE jobs SET outcome = 'printing', claimant = ?2 WHERE id = ?1"));
        job.bind(1, id).bind(2, journal_detail::runningHere());
        if (job.step(), job.code() != SQLITE_OK)
            return fail(job);
        if (sqlite3_changes(m_db) != 1)
            return {SQLITE_ERROR, "no journal job " + std::to_string(id)};
        Statement records(kept("UPDATE records SET outcome = 'printing' WHERE job_id = ?1 AND outcome = 'queued'"));
        records.bind(1, id);
        records.step();
        return fail(records);
    });
}

std::string SqliteEngine::addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex)
{
    return write([&]() -> DbError {
        Statement read(kept("SELECT cups_job_ids FROM jobs WHERE id = ?1"));
        read.bind(1, id);
        if (!read.step())
            return read.code() == SQLITE_OK ? DbError{SQLITE_ERROR, "no journal job " + std::to_string(id)} : fail(read);
        std::vector<int> ids = splitIds(read.text(0));
        read.reset();
        if (cupsJobId > 0 && std::find(ids.begin(), ids.end(), cupsJobId) == ids.end())
            ids.push_back(cupsJobId);
        Statement job(kept("UPDATE jobs SET cups_job_ids = ?2 WHERE id = ?1"));
        job.bind(1, id).bind(2, joinIds(ids));
        if (job.step(), job.code() != SQLITE_OK)
            return fail(job);
        Statement records(kept("UPDATE records SET cups_job_id = ?2 WHERE job_id = ?1 AND idx BETWEEN ?3 AND ?4"));
        records.bind(1, id).bind(2, cupsJobId).bind(3, firstIndex).bind(4, lastIndex);
        records.step();
        return fail(records);
    });
}

std::string SqliteEngine::setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places)
{
    return write([&]() -> DbError {
        Statement update(kept("UPDATE records SET sheet = ?3, cell = ?4 WHERE job_id = ?1 AND idx = ?2"));
        for (const JournalPlace& place : places) {
            update.bind(1, id).bind(2, place.index).bind(3, place.sheet).bind(4, place.cell);
            if (update.step(), update.code() != SQLITE_OK)
                return fail(update);
            update.reset();
        }
        return {};
    });
}

std::string SqliteEngine::finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason)
{
    return write([&]() -> DbError {
        Statement update(kept("UPDATE jobs SET outcome = ?2, reason = ?3, finished_at = ?4 WHERE id = ?1"));
        update.bind(1, id).bind(2, outcomeName(outcome)).bind(3, reason).bind(4, isFinal(outcome) ? journal_detail::now() : 0);
        if (update.step(), update.code() != SQLITE_OK)
            return fail(update);
        if (sqlite3_changes(m_db) != 1)
            return {SQLITE_ERROR, "no journal job " + std::to_string(id)};
        return {};
    });
}

JournalResult<int> SqliteEngine::expireQueued(JournalTime before, const std::string& reason)
{
    JournalResult<int> result;
    result.error = write([&]() -> DbError {
        Statement records(m_db, "UPDATE records SET outcome = 'expired', reason = ?2 WHERE outcome = 'queued' AND job_id IN"
                                " (SELECT id FROM jobs WHERE outcome = 'queued' AND created_at < ?1)");
        records.bind(1, before).bind(2, reason);
        if (records.step(), records.code() != SQLITE_OK)
            return fail(records);
        Statement jobs(m_db, "UPDATE jobs SET outcome = 'expired', reason = ?2, finished_at = ?3"
                             " WHERE outcome = 'queued' AND created_at < ?1");
        jobs.bind(1, before).bind(2, reason).bind(3, journal_detail::now());
        if (jobs.step(), jobs.code() != SQLITE_OK)
            return fail(jobs);
        result.value = sqlite3_changes(m_db);
        return {};
    });
    return result;
}

JournalResult<std::int64_t> SqliteEngine::changeCount()
{
    JournalResult<std::int64_t> result;
    result.error = read([&]() -> DbError {
        Statement read(kept("PRAGMA data_version"));
        if (read.step())
            result.value = read.integer(0);
        return fail(read);
    });
    return result;
}

JournalResult<std::optional<JournalJob>> SqliteEngine::job(JournalJobId id)
{
    JournalResult<std::optional<JournalJob>> result;
    // Asked after every print: prepared once.
    static const std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs WHERE id = ?1";
    result.error = read([&]() -> DbError {
        Statement select(kept(sql.c_str()));
        select.bind(1, id);
        if (select.step())
            result.value = jobFrom(select);
        return fail(select);
    });
    return result;
}

JournalResult<std::vector<JournalRecord>> SqliteEngine::records(JournalJobId id)
{
    JournalResult<std::vector<JournalRecord>> result;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT id, idx, number, copies, fields, columns, outcome, reason, cups_job_id,"
                               " counter_values, sheet, cell FROM records WHERE job_id = ?1 ORDER BY idx");
        select.bind(1, id);
        while (select.step()) {
            JournalRecord record;
            record.id = select.integer(0);
            record.job = id;
            record.index = static_cast<int>(select.integer(1));
            record.number = static_cast<int>(select.integer(2));
            record.copies = static_cast<int>(select.integer(3));
            const std::string fields = select.text(4);
            record.fields = valuesFromJson(fields);
            record.fieldsPending = fields.empty();
            record.columns = valuesFromJson(select.text(5));
            record.outcome = outcomeNamed(select.text(6)).value_or(JournalOutcome::Failed);
            record.reason = select.text(7);
            record.cupsJobId = static_cast<int>(select.integer(8));
            record.counters = countersFromJson(select.text(9));
            record.sheet = static_cast<int>(select.integer(10));
            record.cell = static_cast<int>(select.integer(11));
            result.value.push_back(std::move(record));
        }
        return fail(select);
    });
    return result;
}

JournalResult<int> SqliteEngine::countUnfinished(const std::string& program)
{
    JournalResult<int> result;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT COUNT(*) FROM jobs WHERE outcome IN ('queued', 'printing') AND program = ?1");
        select.bind(1, program);
        if (select.step())
            result.value = static_cast<int>(select.integer(0));
        return fail(select);
    });
    return result;
}

JournalResult<std::optional<std::string>> SqliteEngine::templateBytes(const std::string& hash)
{
    JournalResult<std::optional<std::string>> result;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT bytes FROM templates WHERE hash = ?1");
        select.bind(1, hash);
        if (select.step())
            result.value = select.text(0);
        return fail(select);
    });
    return result;
}

JournalResult<std::int64_t> SqliteEngine::nextCounterValue(const std::string& name)
{
    JournalResult<std::int64_t> result;
    result.value = 1;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT next_value FROM counters WHERE name = ?1");
        select.bind(1, name);
        if (select.step())
            result.value = select.integer(0);
        return fail(select);
    });
    return result;
}

std::string SqliteEngine::setNextCounterValue(const std::string& name, std::int64_t next)
{
    return write([&]() -> DbError {
        Statement set(m_db, "INSERT INTO counters(name, next_value) VALUES (?1, ?2)"
                            " ON CONFLICT(name) DO UPDATE SET next_value = excluded.next_value");
        set.bind(1, name).bind(2, next);
        set.step();
        return fail(set);
    });
}

JournalResult<std::vector<CounterValue>> SqliteEngine::counters()
{
    JournalResult<std::vector<CounterValue>> result;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT name, next_value FROM counters ORDER BY name");
        while (select.step())
            result.value.push_back({select.text(0), select.integer(1)});
        return fail(select);
    });
    return result;
}

JournalResult<int> SqliteEngine::pruneBefore(JournalTime before)
{
    JournalResult<int> result;
    result.error = write([&]() -> DbError {
        Statement jobs(m_db, "DELETE FROM jobs WHERE created_at < ?1 AND outcome NOT IN ('queued', 'printing')");
        jobs.bind(1, before);
        if (jobs.step(), jobs.code() != SQLITE_OK)
            return fail(jobs);
        result.value = sqlite3_changes(m_db);
        // New records take ids above the highest left: the index's mark may not lie above it.
        if (DbError error = exec(m_db, "UPDATE search_indexed SET upto = min(upto, (SELECT coalesce(max(id), 0) FROM records))");
            error.code != SQLITE_OK)
            return error;
        return exec(m_db, "DELETE FROM templates WHERE hash NOT IN (SELECT template_hash FROM jobs)");
    });
    if (result.ok())
        exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE)");
    return result;
}

JournalResult<JournalStats> SqliteEngine::stats()
{
    JournalResult<JournalStats> result;
    result.error = read([&]() -> DbError {
        Statement select(m_db, "SELECT (SELECT count(*) FROM jobs), (SELECT count(*) FROM records),"
                               " (SELECT count(*) FROM templates), (SELECT coalesce(sum(size), 0) FROM templates),"
                               " (SELECT coalesce(min(created_at), 0) FROM jobs), (SELECT coalesce(max(created_at), 0) FROM jobs)");
        if (select.step()) {
            result.value.jobs = select.integer(0);
            result.value.records = select.integer(1);
            result.value.templates = select.integer(2);
            result.value.templateBytes = select.integer(3);
            result.value.oldest = select.integer(4);
            result.value.newest = select.integer(5);
        }
        return fail(select);
    });
    std::error_code ec;
    for (const std::string suffix : {"", "-wal"}) {
        const std::string path = m_path + suffix;
        const auto size = std::filesystem::file_size(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
        if (!ec)
            result.value.fileBytes += static_cast<std::int64_t>(size);
    }
    return result;
}

} // namespace ordavel::sqlite_journal
