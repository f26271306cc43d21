#include "journal/sqlite/sqlite_engine.h"

#include "journal/sha256.h"
#include "journal/stored_values.h"

#include <algorithm>
#include <map>
#include <set>

namespace ordavel::sqlite_journal {

using namespace journal_detail;

// Counter values for `names`, each taken from its counter (made at 1 when new).
DbError SqliteEngine::takeCounters(const std::vector<std::string>& names, std::vector<CounterValue>& values)
{
    values.clear();
    if (names.empty())
        return {};
    Statement take(kept("INSERT INTO counters(name, next_value) VALUES (?1, 2)"
                        " ON CONFLICT(name) DO UPDATE SET next_value = next_value + 1 RETURNING next_value - 1"));
    for (const auto& name : names) {
        take.reset();
        take.bind(1, name);
        if (!take.step())
            return fail(take);
        values.push_back({name, take.integer(0)});
        take.step(); // to its end, so that the statement can run again
    }
    return {};
}

// The counter values of every record of a job, as takeCounters would give
// them record after record: each counter is advanced once by the number
// of values its records take, and the values are handed out in order.
DbError SqliteEngine::takeCounterBlocks(const std::vector<JournalRecordIn>& records,
                          std::vector<std::vector<CounterValue>>& values)
{
    values.assign(records.size(), {});
    std::vector<std::pair<std::string, std::int64_t>> blocks; // name, values wanted, in first use
    for (const auto& record : records)
        for (const auto& name : record.counters) {
            auto at = std::find_if(blocks.begin(), blocks.end(), [&](const auto& b) { return b.first == name; });
            if (at == blocks.end())
                blocks.emplace_back(name, 1);
            else
                ++at->second;
        }
    if (blocks.empty())
        return {};
    Statement take(kept("INSERT INTO counters(name, next_value) VALUES (?1, ?2 + 1)"
                        " ON CONFLICT(name) DO UPDATE SET next_value = next_value + ?2 RETURNING next_value - ?2"));
    for (auto& [name, count] : blocks) {
        take.reset();
        take.bind(1, name).bind(2, count);
        if (!take.step())
            return fail(take);
        count = take.integer(0); // from here on: the next value to hand out
        take.step();
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        for (const auto& name : records[i].counters) {
            auto at = std::find_if(blocks.begin(), blocks.end(), [&](const auto& b) { return b.first == name; });
            values[i].push_back({name, at->second++});
        }
    return {};
}

JournalResult<JournalJobId> SqliteEngine::recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                               const std::function<void(JournalJobId)>& staged)
{
    JournalResult<JournalJobId> result;
    if (job.records.empty()) {
        result.error = "a job needs at least one record";
        return result;
    }
    if (m_lastTemplateHash.empty() || m_lastTemplate != job.templateBytes) {
        m_lastTemplate = job.templateBytes;
        m_lastTemplateHash = sha256Hex(job.templateBytes);
    }
    const std::string& hash = m_lastTemplateHash;
    const std::string_view outcome = outcomeName(job.startPrinting ? JournalOutcome::Printing : JournalOutcome::Queued);
    const JournalTime at = job.createdAt > 0 ? job.createdAt : journal_detail::now();
    result.error = write([&]() -> DbError {
        // The bytes are bound only when the template is new to the journal.
        Statement known(kept("SELECT 1 FROM templates WHERE hash = ?1"));
        known.bindStatic(1, hash);
        const bool stored = known.step();
        if (known.code() != SQLITE_OK && known.code() != SQLITE_ROW)
            return fail(known);
        known.reset(); // done reading: a statement left open would keep the old search index from being dropped
        if (!stored) {
            Statement keep(m_db, "INSERT OR IGNORE INTO templates(hash, bytes, size, first_seen) VALUES (?1, ?2, ?3, ?4)");
            keep.bind(1, hash).bindBlob(2, job.templateBytes).bind(3, static_cast<std::int64_t>(job.templateBytes.size()))
                .bind(4, at);
            if (keep.step(), keep.code() != SQLITE_OK)
                return fail(keep);
        }

        Statement insert(kept("INSERT INTO jobs(created_at, user, host, program, kind, printer, template_path,"
                                " template_name, template_hash, calibration, copies, data_source, repeats, outcome,"
                                " claimant, record_count)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)"));
        insert.bind(1, at).bind(2, job.user.empty() ? journal_detail::userName() : job.user).bind(3, journal_detail::hostName())
            .bind(4, job.program).bind(5, kindName(job.kind)).bind(6, job.printer).bind(7, job.templatePath)
            .bind(8, job.templateName).bind(9, hash).bind(10, job.calibration).bind(11, job.copies)
            .bind(12, job.dataSource).bind(13, job.repeats).bind(14, outcome)
            .bind(15, job.startPrinting ? journal_detail::runningHere() : std::string())
            .bind(16, static_cast<std::int64_t>(job.records.size()));
        if (insert.step(), insert.code() != SQLITE_OK)
            return fail(insert);
        const JournalJobId id = sqlite3_last_insert_rowid(m_db);

        Statement record(kept("INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome,"
                                " counter_names, search_text, counter_values)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"));
        if (!record.prepared())
            return fail(record);
        std::vector<std::vector<CounterValue>> taken;
        if (DbError error = takeCounterBlocks(job.records, taken); error.code != SQLITE_OK)
            return error;
        JournalValues filledFields, filledColumns;
        const JournalValues noValues;
        ValuesJsonWriter fieldsJson, columnsJson;
        std::string fields, columns, names, search, counterValues;
        const std::string noNames = "[]";
        for (std::size_t i = 0; i < job.records.size(); ++i) {
            const JournalRecordIn* in = &job.records[i];
            const std::vector<CounterValue>& values = taken[i];
            const JournalValues* printed = &in->fields;
            const JournalValues* used = &in->columns;
            if (fill) {
                fill(i, values, filledFields, filledColumns);
                printed = &filledFields;
                used = &filledColumns;
            }
            // Fields that follow later are stored as '' (not yet known).
            if (in->fieldsLater)
                fields.clear();
            else
                fieldsJson.write(*printed, fields);
            columnsJson.write(*used, columns);
            searchTextInto(in->fieldsLater ? noValues : *printed, *used, search);
            record.reset();
            record.bind(1, id).bind(2, static_cast<std::int64_t>(i)).bind(3, in->number).bind(4, in->copies)
                .bindStatic(5, fields).bindStatic(6, columns).bindStatic(7, outcome)
                .bindStatic(8, in->counters.empty() ? noNames : (names = namesJson(in->counters)))
                .bindStatic(9, search)
                .bindStatic(10, counterValues = countersJson(values.empty() ? in->counterValues : values));
            if (record.step(), record.code() != SQLITE_OK)
                return fail(record);
        }
        result.value = id;
        if (!job.searchIndexLater)
            if (DbError error = indexSearchChunk(); error.code != SQLITE_OK)
                return error;
        if (staged)
            staged(id);
        return {};
    });
    return result;
}

std::string SqliteEngine::setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields)
{
    return write([&]() -> DbError {
        // A record stored with its fields to follow searches by its columns' values alone.
        Statement read(kept("SELECT id, fields, search_text FROM records WHERE job_id = ?1 AND idx = ?2"));
        Statement update(kept("UPDATE records SET fields = ?2, search_text = ?3 WHERE id = ?1"));
        std::string json, search;
        for (const auto& [index, values] : fields) {
            read.reset();
            read.bind(1, id).bind(2, index);
            if (!read.step()) {
                if (read.code() != SQLITE_OK)
                    return fail(read);
                continue;
            }
            const std::int64_t recordId = read.integer(0);
            const bool pending = read.text(1).empty();
            const std::string old = read.text(2);
            read.reset();
            if (!pending)
                continue; // a record's fields are written once
            json = valuesJson(values);
            search = searchTextWithFields(values, old);
            update.reset();
            update.bind(1, recordId).bindStatic(2, json).bindStatic(3, search);
            if (update.step(), update.code() != SQLITE_OK)
                return fail(update);
        }
        return {};
    });
}

std::string SqliteEngine::setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                      const std::string& reason)
{
    return write([&]() -> DbError {
        Statement update(kept("UPDATE records SET outcome = ?2, reason = ?3 WHERE job_id = ?1 AND idx BETWEEN ?4 AND ?5"));
        update.bind(1, id).bind(2, outcomeName(outcome)).bind(3, reason).bind(4, firstIndex).bind(5, lastIndex);
        if (update.step(), update.code() != SQLITE_OK)
            return fail(update);
        if (outcome == JournalOutcome::Printed || outcome == JournalOutcome::Printing
            || outcome == JournalOutcome::Queued)
            return {};
        // Give counter values back, the last taken first, while each is still
        // the newest of its counter; a record keeps the values not given back.
        // A reprint's values (it took none: counter_names '[]') are not its to give back.
        Statement held(kept("SELECT id, counter_values FROM records WHERE job_id = ?1 AND idx BETWEEN ?2 AND ?3"
                              " AND counter_values <> '' AND counter_names <> '[]'"));
        held.bind(1, id).bind(2, firstIndex).bind(3, lastIndex);
        std::map<std::int64_t, std::vector<CounterValue>> remaining; // by record id
        std::vector<std::pair<std::int64_t, CounterValue>> values;
        while (held.step()) {
            auto& own = remaining[held.integer(0)];
            own = countersFromJson(held.text(1));
            for (const auto& value : own)
                values.emplace_back(held.integer(0), value);
        }
        if (held.code() != SQLITE_OK)
            return fail(held);
        std::stable_sort(values.begin(), values.end(),
                         [](const auto& a, const auto& b) { return a.second.value > b.second.value; });
        Statement giveBack(kept("UPDATE counters SET next_value = ?2 WHERE name = ?1 AND next_value = ?2 + 1"));
        std::set<std::int64_t> changed;
        for (const auto& [recordId, value] : values) {
            giveBack.reset();
            giveBack.bind(1, value.name).bind(2, value.value);
            if (giveBack.step(), giveBack.code() != SQLITE_OK)
                return fail(giveBack);
            if (sqlite3_changes(m_db) == 0)
                continue;
            std::erase(remaining[recordId], value);
            changed.insert(recordId);
        }
        Statement forget(kept("UPDATE records SET counter_values = ?2 WHERE id = ?1"));
        for (const std::int64_t recordId : changed) {
            forget.reset();
            forget.bind(1, recordId).bind(2, countersJson(remaining[recordId]));
            if (forget.step(), forget.code() != SQLITE_OK)
                return fail(forget);
        }
        return {};
    });
}

std::string SqliteEngine::retakeCounters(JournalJobId id, const std::vector<int>& indices, const Journal::JournalRefill& refill)
{
    return write([&]() -> DbError {
        for (const int index : indices) {
            Statement read(m_db, "SELECT id, number, copies, fields, columns, counter_names, outcome, reason, cups_job_id,"
                                 " counter_values FROM records WHERE job_id = ?1 AND idx = ?2");
            read.bind(1, id).bind(2, index);
            if (!read.step()) {
                if (read.code() != SQLITE_OK)
                    return fail(read);
                continue;
            }
            JournalRecord record;
            record.id = read.integer(0);
            record.job = id;
            record.index = index;
            record.number = static_cast<int>(read.integer(1));
            record.copies = static_cast<int>(read.integer(2));
            record.fields = valuesFromJson(read.text(3));
            record.columns = valuesFromJson(read.text(4));
            const std::vector<std::string> names = namesFromJson(read.text(5));
            record.outcome = outcomeNamed(read.text(6)).value_or(JournalOutcome::Failed);
            record.reason = read.text(7);
            record.cupsJobId = static_cast<int>(read.integer(8));
            record.counters = countersFromJson(read.text(9));
            read.reset();

            std::vector<std::string> missing = names;
            for (const auto& value : record.counters)
                std::erase(missing, value.name);
            if (missing.empty())
                continue;
            std::vector<CounterValue> taken;
            if (DbError error = takeCounters(missing, taken); error.code != SQLITE_OK)
                return error;
            record.counters.insert(record.counters.end(), taken.begin(), taken.end());
            Statement keep(m_db, "UPDATE records SET counter_values = ?2 WHERE id = ?1");
            keep.bind(1, record.id).bind(2, countersJson(record.counters));
            if (keep.step(), keep.code() != SQLITE_OK)
                return fail(keep);
            if (!refill)
                continue;
            refill(record);
            Statement update(m_db, "UPDATE records SET fields = ?2, search_text = ?3 WHERE id = ?1");
            update.bind(1, record.id).bind(2, valuesJson(record.fields)).bind(3, searchTextOf(record.fields, record.columns));
            if (update.step(), update.code() != SQLITE_OK)
                return fail(update);
        }
        return {};
    });
}

} // namespace ordavel::sqlite_journal
