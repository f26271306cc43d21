#include "journal/postgres/pg_engine.h"

#include "journal/postgres/pg_search_keys.h"
#include "journal/postgres/pg_values.h"
#include "journal/sha256.h"

#include <algorithm>
#include <map>
#include <set>

namespace ordavel::postgres_journal {

using namespace journal_detail;

namespace {

// Records go to the server this many at a time, in one statement each.
constexpr int kRowsPerInsert = 2000;

// An array parameter in the server's binary form, which it reads without
// parsing quotes and escapes: one dimension, no NULLs, the element type,
// the length and lower bound 1, then each element as its length and bytes.
// Every number in network byte order.
class BinaryArray {
public:
    static constexpr std::uint32_t kInteger = 23; // int4
    static constexpr std::uint32_t kText = 25;

    explicit BinaryArray(std::uint32_t elementType) : m_type(elementType) {}

    void add(std::string_view text)
    {
        put(m_elements, static_cast<std::uint32_t>(text.size()));
        m_elements.append(text);
        ++m_count;
    }
    void add(std::int64_t number)
    {
        put(m_elements, 4);
        put(m_elements, static_cast<std::uint32_t>(static_cast<std::int32_t>(number)));
        ++m_count;
    }
    PgParam param() const
    {
        std::string bytes;
        bytes.reserve(20 + m_elements.size());
        for (const std::uint32_t word : {1u, 0u, m_type, m_count, 1u})
            put(bytes, word);
        bytes += m_elements;
        return PgParam::bytes(bytes);
    }

private:
    static void put(std::string& out, std::uint32_t word)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((word >> shift) & 0xff);
    }

    std::uint32_t m_type;
    std::uint32_t m_count = 0;
    std::string m_elements;
};

// A job's records gathered column by column, written by one INSERT that
// takes each column as an array.
struct RecordRows {
    int count = 0;
    BinaryArray idx{BinaryArray::kInteger}, number{BinaryArray::kInteger}, copies{BinaryArray::kInteger};
    BinaryArray fields{BinaryArray::kText}, columns{BinaryArray::kText}, names{BinaryArray::kText},
        search{BinaryArray::kText}, values{BinaryArray::kText};

    void add(std::int64_t index, int recordNumber, int recordCopies, std::string_view fieldsText,
             std::string_view columnsText, std::string_view namesText, std::string_view searchText,
             std::string_view valuesText)
    {
        idx.add(index);
        number.add(std::int64_t{recordNumber});
        copies.add(std::int64_t{recordCopies});
        fields.add(fieldsText);
        columns.add(columnsText);
        names.add(namesText);
        search.add(searchText);
        values.add(valuesText);
        ++count;
    }

// Inserts the rows; with `keys`, the last rows of the job also set its search keys.
    EngineError insert(PgConnection& connection, JournalJobId job, std::string_view outcome,
                       const SearchKeys* keys, bool later)
    {
        PgParams params{job,           outcome,         idx.param(),    number.param(), copies.param(),
                        fields.param(), columns.param(), names.param(), search.param(), values.param()};
        std::string sql;
        if (keys != nullptr && !keys->empty()) {
            sql = "WITH keyed AS (UPDATE jobs SET search_keys = $11::text[] WHERE id = $1) ";
            params.push_back(textArray(keys->list()));
        }
        sql += "INSERT INTO records(job_id, outcome, idx, number, copies, fields, columns, counter_names, search_text,"
               " counter_values) SELECT $1, $2, * FROM unnest($3::integer[], $4::integer[], $5::integer[], $6::text[],"
               " $7::text[], $8::text[], $9::text[], $10::text[])";
        return later ? connection.send(sql.c_str(), params) : connection.execute(sql.c_str(), params);
    }
};

} // namespace

// A record's search text changed: its job holds the keys of the new text
// too (those of the old one stay; a search reads the records to be sure).
EngineError PgEngine::addSearchKeys(JournalJobId id, std::string_view search)
{
    SearchKeys keys;
    keys.add(search);
    if (keys.empty())
        return {};
    return m_connection.execute("UPDATE jobs SET search_keys = ARRAY(SELECT DISTINCT k FROM unnest(search_keys || $2::text[]) k)"
                                " WHERE id = $1 AND NOT search_keys @> $2::text[]",
                                {id, textArray(keys.list())});
}

EngineError PgEngine::takeCounters(const std::vector<std::string>& names, std::vector<CounterValue>& values)
{
    values.clear();
    for (const auto& name : names) {
        PgResult take = m_connection.run("INSERT INTO counters(name, next_value) VALUES ($1, 2)"
                                         " ON CONFLICT (name) DO UPDATE SET next_value = counters.next_value + 1"
                                         " RETURNING next_value - 1",
                                         {text(name)});
        if (EngineError error = m_connection.failure(take); error.failed())
            return error;
        values.push_back({name, take.integer(0, 0)});
    }
    return {};
}

// Each counter is advanced once by the number of values the job's records
// take, its row locked from then until the commit; the values are handed
// out in record order. Counters are taken in the order of their names, so
// that two stations taking the same ones never wait for each other in turn.
EngineError PgEngine::takeCounterBlocks(const std::vector<JournalRecordIn>& records,
                                        std::vector<std::vector<CounterValue>>& values)
{
    values.assign(records.size(), {});
    std::map<std::string, std::int64_t> blocks; // name: values wanted, then the next to hand out
    for (const auto& record : records)
        for (const auto& name : record.counters)
            ++blocks[name];
    for (auto& [name, count] : blocks) {
        PgResult take = m_connection.run("INSERT INTO counters(name, next_value) VALUES ($1, $2::bigint + 1)"
                                         " ON CONFLICT (name) DO UPDATE SET next_value = counters.next_value + $2::bigint"
                                         " RETURNING next_value - $2::bigint",
                                         {text(name), count});
        if (EngineError error = m_connection.failure(take); error.failed())
            return error;
        count = take.integer(0, 0);
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        for (const auto& name : records[i].counters)
            values[i].push_back({name, blocks[name]++});
    return {};
}

EngineError PgEngine::storeTemplate(const std::string& bytes, JournalTime at, std::string& hash)
{
    if (m_lastTemplateHash.empty() || m_lastTemplate != bytes) {
        m_lastTemplate = bytes;
        m_lastTemplateHash = sha256Hex(bytes);
    }
    hash = m_lastTemplateHash;
    // The bytes are sent only when the shop does not hold them yet.
    PgResult known = m_connection.run("SELECT 1 FROM templates WHERE hash = $1", {hash});
    if (EngineError error = m_connection.failure(known); error.failed())
        return error;
    if (known.rows() > 0)
        return {};
    return m_connection.execute(
        "INSERT INTO templates(hash, bytes, size, first_seen) VALUES ($1, $2, $3, $4) ON CONFLICT (hash) DO NOTHING",
        {hash, PgParam::bytes(bytes), static_cast<std::int64_t>(bytes.size()), at});
}

JournalResult<JournalJobId> PgEngine::recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                                const std::function<void(JournalJobId)>& staged)
{
    JournalResult<JournalJobId> result;
    const std::string_view outcome = outcomeName(job.startPrinting ? JournalOutcome::Printing : JournalOutcome::Queued);
    const JournalTime at = job.createdAt > 0 ? job.createdAt : now();
    // Records of a job of its own go to the server with the commit, not waited for.
    const bool later = job.commitLater && !inTransaction();
    result.error = write([&]() -> EngineError {
        std::string hash;
        if (EngineError error = storeTemplate(job.templateBytes, at, hash); error.failed())
            return error;

        PgResult insert = m_connection.run(
            "INSERT INTO jobs(created_at, user_name, host, program, kind, printer, template_path, template_name,"
            " template_hash, calibration, copies, data_source, repeats, outcome, claimant, record_count, station,"
            " library_revision)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18) RETURNING id",
            {at, text(job.user.empty() ? userName() : job.user), text(hostName()), text(job.program), kindName(job.kind),
             text(job.printer), text(job.templatePath), text(job.templateName), hash, text(job.calibration), job.copies,
             text(job.dataSource), job.repeats, outcome, text(job.startPrinting ? runningHere() : std::string()),
             static_cast<std::int64_t>(job.records.size()), text(m_station), job.libraryRevision});
        if (EngineError error = m_connection.failure(insert); error.failed())
            return error;
        const JournalJobId id = insert.integer(0, 0);

        std::vector<std::vector<CounterValue>> taken;
        if (EngineError error = takeCounterBlocks(job.records, taken); error.failed())
            return error;
        JournalValues filledFields, filledColumns;
        const JournalValues noValues;
        ValuesJsonWriter fieldsJson, columnsJson;
        std::string fields, columns, search, kept;
        RecordRows rows;
        SearchKeys keys;
        for (std::size_t i = 0; i < job.records.size(); ++i) {
            const JournalRecordIn& in = job.records[i];
            const std::vector<CounterValue>& values = taken[i];
            const JournalValues* printed = &in.fields;
            const JournalValues* used = &in.columns;
            if (fill) {
                fill(i, values, filledFields, filledColumns);
                printed = &filledFields;
                used = &filledColumns;
            }
            // Fields that follow later are stored as '' (not yet known).
            if (in.fieldsLater)
                fields.clear();
            else
                fieldsJson.write(*printed, fields);
            columnsJson.write(*used, columns);
            searchTextInto(in.fieldsLater ? noValues : *printed, *used, search);
            kept = searchTextKept(search);
            keys.add(kept);
            rows.add(static_cast<std::int64_t>(i), in.number, in.copies, fields, columns,
                     in.counters.empty() ? std::string("[]") : namesJson(in.counters), kept,
                     countersJson(values.empty() ? in.counterValues : values));
            const bool last = i + 1 == job.records.size();
            if (rows.count == kRowsPerInsert || last) {
                if (EngineError error = rows.insert(m_connection, id, outcome, last ? &keys : nullptr, later);
                    error.failed())
                    return error;
                rows = RecordRows();
            }
        }
        result.value = id;
        if (staged)
            staged(id);
        return {};
    });
    if (!result.ok())
        result.value = 0;
    return result;
}

std::string PgEngine::setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields)
{
    return write([&]() -> EngineError {
        for (const auto& [index, values] : fields) {
            // A record stored with its fields to follow searches by its columns' values alone.
            PgResult read = m_connection.run("SELECT id, fields = '', search_text FROM records WHERE job_id = $1 AND idx = $2"
                                             " FOR UPDATE",
                                             {id, index});
            if (EngineError error = m_connection.failure(read); error.failed())
                return error;
            if (read.rows() == 0 || !read.boolean(0, 1))
                continue; // a record's fields are written once
            const std::string search = searchTextKept(searchTextWithFields(values, read.text(0, 2)));
            if (EngineError error = m_connection.execute("UPDATE records SET fields = $2, search_text = $3 WHERE id = $1",
                                                         {read.integer(0, 0), valuesJson(values), search});
                error.failed())
                return error;
            if (EngineError error = addSearchKeys(id, search); error.failed())
                return error;
        }
        return {};
    });
}

// Gives counter values of records [first, last] back, the last taken first,
// while each is still the newest of its counter; a record keeps the values
// not given back. A reprint's values (it took none) are not its to give back.
EngineError PgEngine::giveCountersBack(JournalJobId id, int firstIndex, int lastIndex)
{
    PgResult held = m_connection.run("SELECT id, counter_values FROM records WHERE job_id = $1 AND idx BETWEEN $2 AND $3"
                                     " AND counter_values <> '' AND counter_names <> '[]'",
                                     {id, firstIndex, lastIndex});
    if (EngineError error = m_connection.failure(held); error.failed())
        return error;
    std::map<std::int64_t, std::vector<CounterValue>> remaining; // by record id
    std::vector<std::pair<std::int64_t, CounterValue>> values;
    for (int row = 0; row < held.rows(); ++row) {
        auto& own = remaining[held.integer(row, 0)];
        own = countersFromJson(held.text(row, 1));
        for (const auto& value : own)
            values.emplace_back(held.integer(row, 0), value);
    }
    std::stable_sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.second.value > b.second.value; });
    std::set<std::int64_t> changed;
    for (const auto& [recordId, value] : values) {
        PgResult giveBack = m_connection.run("UPDATE counters SET next_value = $2 WHERE name = $1 AND next_value = $2::bigint + 1",
                                             {text(value.name), value.value});
        if (EngineError error = m_connection.failure(giveBack); error.failed())
            return error;
        if (giveBack.changed() == 0)
            continue;
        std::erase(remaining[recordId], value);
        changed.insert(recordId);
    }
    for (const std::int64_t recordId : changed)
        if (EngineError error = m_connection.execute("UPDATE records SET counter_values = $2 WHERE id = $1",
                                                     {recordId, countersJson(remaining[recordId])});
            error.failed())
            return error;
    return {};
}

std::string PgEngine::setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                       const std::string& reason)
{
    return write([&]() -> EngineError {
        if (EngineError error = m_connection.execute(
                "UPDATE records SET outcome = $2, reason = $3 WHERE job_id = $1 AND idx BETWEEN $4 AND $5",
                {id, outcomeName(outcome), text(reason), firstIndex, lastIndex});
            error.failed())
            return error;
        if (outcome == JournalOutcome::Printed || outcome == JournalOutcome::Printing || outcome == JournalOutcome::Queued)
            return {};
        return giveCountersBack(id, firstIndex, lastIndex);
    });
}

std::string PgEngine::retakeCounters(JournalJobId id, const std::vector<int>& indices, const Journal::JournalRefill& refill)
{
    return write([&]() -> EngineError {
        for (const int index : indices) {
            PgResult read = m_connection.run("SELECT id, number, copies, fields, columns, counter_names, outcome, reason,"
                                             " cups_job_id, counter_values FROM records WHERE job_id = $1 AND idx = $2",
                                             {id, index});
            if (EngineError error = m_connection.failure(read); error.failed())
                return error;
            if (read.rows() == 0)
                continue;
            JournalRecord record;
            record.id = read.integer(0, 0);
            record.job = id;
            record.index = index;
            record.number = static_cast<int>(read.integer(0, 1));
            record.copies = static_cast<int>(read.integer(0, 2));
            record.fields = valuesFromJson(read.text(0, 3));
            record.columns = valuesFromJson(read.text(0, 4));
            const std::vector<std::string> names = namesFromJson(read.text(0, 5));
            record.outcome = outcomeNamed(read.text(0, 6)).value_or(JournalOutcome::Failed);
            record.reason = read.text(0, 7);
            record.cupsJobId = static_cast<int>(read.integer(0, 8));
            record.counters = countersFromJson(read.text(0, 9));

            std::vector<std::string> missing = names;
            for (const auto& value : record.counters)
                std::erase(missing, value.name);
            if (missing.empty())
                continue;
            std::vector<CounterValue> taken;
            if (EngineError error = takeCounters(missing, taken); error.failed())
                return error;
            record.counters.insert(record.counters.end(), taken.begin(), taken.end());
            if (EngineError error = m_connection.execute("UPDATE records SET counter_values = $2 WHERE id = $1",
                                                         {record.id, countersJson(record.counters)});
                error.failed())
                return error;
            if (!refill)
                continue;
            refill(record);
            const std::string search = searchTextKept(searchTextOf(record.fields, record.columns));
            if (EngineError error = m_connection.execute("UPDATE records SET fields = $2, search_text = $3 WHERE id = $1",
                                                         {record.id, valuesJson(record.fields), search});
                error.failed())
                return error;
            if (EngineError error = addSearchKeys(id, search); error.failed())
                return error;
        }
        return {};
    });
}

} // namespace ordavel::postgres_journal
