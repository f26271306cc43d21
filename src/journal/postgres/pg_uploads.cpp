// Jobs of a station's own journal recorded in the shop, many at a time: the
// marks claimed, the jobs and their records written each by one statement
// (a few for many records), so that a group costs a few round trips
// whatever its number of jobs.
#include "journal/postgres/pg_engine.h"

#include "journal/postgres/pg_search_keys.h"
#include "journal/postgres/pg_values.h"

#include <algorithm>
#include <set>

namespace ordavel::postgres_journal {

using namespace journal_detail;

namespace {

// Records go to the server this many at a time, in one statement each.
constexpr std::size_t kRowsPerInsert = 2000;

// Columns gathered row by row, each sent as one array.
struct Columns {
    std::vector<std::vector<std::string>> items;

    explicit Columns(std::size_t count) : items(count) {}
    void clear()
    {
        for (auto& column : items)
            column.clear();
    }
    std::size_t rows() const { return items.front().size(); }
    void add(std::size_t column, std::string value) { items[column].push_back(std::move(value)); }
    void add(std::size_t column, std::int64_t value) { items[column].push_back(std::to_string(value)); }
    // Rows [from, to) of each column, as arrays.
    void append(PgParams& params, std::size_t from, std::size_t to) const
    {
        for (const auto& column : items)
            params.push_back(textArray(std::vector<std::string>(column.begin() + static_cast<std::ptrdiff_t>(from),
                                                                column.begin() + static_cast<std::ptrdiff_t>(to))));
    }
};

enum JobColumn : std::size_t {
    kJobId, kCreatedAt, kUser, kProgram, kKind, kPrinter, kTemplatePath, kTemplateName, kTemplateHash, kCalibration,
    kCopies, kDataSource, kRepeats, kOutcome, kReason, kRecordCount, kLibraryRevision, kSearchKeys, kJobColumnCount
};

enum RecordColumn : std::size_t {
    kRecordJob, kIdx, kNumber, kRecordCopies, kFields, kColumns, kCounterNames, kSearchText, kCounterValues,
    kRecordOutcome, kRecordReason, kSheet, kCell, kRecordColumnCount
};

} // namespace

JournalResult<int> PgEngine::recordUploads(const std::vector<JournalUpload>& uploads)
{
    JournalResult<int> result;
    if (uploads.empty())
        return result;
    result.error = write([&]() -> EngineError {
        // The marks first, in the transaction that records the jobs: a job
        // another run uploaded is left out.
        const JournalTime at = now();
        std::vector<std::string> localIds;
        for (const JournalUpload& upload : uploads)
            localIds.push_back(std::to_string(upload.localId));
        PgResult claimed = m_connection.run("INSERT INTO uploads(station, local_id, uploaded_at)"
                                            " SELECT $1, l, $3 FROM unnest($2::bigint[]) l ON CONFLICT DO NOTHING"
                                            " RETURNING local_id",
                                            {m_station, textArray(localIds), at});
        if (EngineError error = m_connection.failure(claimed); error.failed())
            return error;
        std::set<JournalJobId> fresh;
        for (int row = 0; row < claimed.rows(); ++row)
            fresh.insert(claimed.integer(row, 0));
        if (fresh.empty())
            return {};

        // The jobs' ids, taken in their order.
        PgResult ids = m_connection.run("SELECT nextval(pg_get_serial_sequence('jobs', 'id')) FROM generate_series(1, $1)",
                                        {static_cast<std::int64_t>(fresh.size())});
        if (EngineError error = m_connection.failure(ids); error.failed())
            return error;

        Columns jobs(kJobColumnCount);
        Columns records(kRecordColumnCount);
        std::vector<std::string> queuedJobs, queuedIdx;

        int row = 0;
        ValuesJsonWriter fieldsJson, columnsJson;
        std::string fields, columns, search;
        for (const JournalUpload& upload : uploads) {
            if (fresh.count(upload.localId) == 0)
                continue;
            const JournalJobIn& job = upload.job;
            const JournalJobId id = ids.integer(row++, 0);
            std::string hash;
            if (EngineError error = storeTemplate(job.templateBytes, job.createdAt > 0 ? job.createdAt : at, hash);
                error.failed())
                return error;
            SearchKeys keys;
            for (std::size_t i = 0; i < job.records.size(); ++i) {
                const JournalRecordIn& in = job.records[i];
                const JournalRecord* ended = i < upload.records.size() ? &upload.records[i] : nullptr;
                if (in.fieldsLater)
                    fields.clear();
                else
                    fieldsJson.write(in.fields, fields);
                columnsJson.write(in.columns, columns);
                searchTextInto(in.fieldsLater ? JournalValues() : in.fields, in.columns, search);
                std::string kept = searchTextKept(search);
                keys.add(kept);
                const JournalOutcome outcome = ended ? ended->outcome : upload.outcome;
                records.add(kRecordJob, id);
                records.add(kIdx, static_cast<std::int64_t>(i));
                records.add(kNumber, in.number);
                records.add(kRecordCopies, in.copies);
                records.add(kFields, fields);
                records.add(kColumns, columns);
                records.add(kCounterNames, in.counters.empty() ? std::string("[]") : namesJson(in.counters));
                records.add(kSearchText, std::move(kept));
                records.add(kCounterValues, countersJson(in.counterValues));
                records.add(kRecordOutcome, std::string(outcomeName(outcome)));
                records.add(kRecordReason, wellFormedText(ended ? ended->reason : std::string()));
                records.add(kSheet, ended ? ended->sheet : 0);
                records.add(kCell, ended ? ended->cell : 0);
                if (outcome == JournalOutcome::Queued) {
                    queuedJobs.push_back(std::to_string(id));
                    queuedIdx.push_back(std::to_string(i));
                }
            }
            jobs.add(kJobId, id);
            jobs.add(kCreatedAt, job.createdAt > 0 ? job.createdAt : at);
            jobs.add(kUser, wellFormedText(job.user.empty() ? userName() : job.user));
            jobs.add(kProgram, wellFormedText(job.program));
            jobs.add(kKind, std::string(kindName(job.kind)));
            jobs.add(kPrinter, wellFormedText(job.printer));
            jobs.add(kTemplatePath, wellFormedText(job.templatePath));
            jobs.add(kTemplateName, wellFormedText(job.templateName));
            jobs.add(kTemplateHash, hash);
            jobs.add(kCalibration, wellFormedText(job.calibration));
            jobs.add(kCopies, job.copies);
            jobs.add(kDataSource, wellFormedText(job.dataSource));
            jobs.add(kRepeats, job.repeats);
            jobs.add(kOutcome, std::string(outcomeName(upload.outcome)));
            jobs.add(kReason, wellFormedText(upload.reason));
            jobs.add(kRecordCount, static_cast<std::int64_t>(job.records.size()));
            jobs.add(kLibraryRevision, job.libraryRevision);
            jobs.add(kSearchKeys, textArray(keys.list()));
        }

        // The jobs before their records, which refer to them.
        PgParams params;
        jobs.append(params, 0, jobs.rows());
        params.push_back(text(hostName()));
        params.push_back(text(runningHere()));
        params.push_back(text(m_station));
        params.push_back(at);
        if (EngineError error = m_connection.execute(
                "INSERT INTO jobs(id, created_at, user_name, program, kind, printer, template_path, template_name,"
                " template_hash, calibration, copies, data_source, repeats, outcome, reason, record_count,"
                " library_revision, search_keys, host, claimant, station, finished_at)"
                " SELECT id, created_at, user_name, program, kind, printer, template_path, template_name, template_hash,"
                " calibration, copies, data_source, repeats, outcome, reason, record_count, library_revision,"
                " search_keys::text[], $19, $20, $21, $22"
                " FROM unnest($1::bigint[], $2::bigint[], $3::text[], $4::text[], $5::text[], $6::text[], $7::text[],"
                " $8::text[], $9::text[], $10::text[], $11::integer[], $12::text[], $13::bigint[], $14::text[],"
                " $15::text[], $16::integer[], $17::integer[], $18::text[])"
                " AS u(id, created_at, user_name, program, kind, printer, template_path, template_name, template_hash,"
                " calibration, copies, data_source, repeats, outcome, reason, record_count, library_revision, search_keys)"
                " ORDER BY id",
                params);
            error.failed())
            return error;
        for (std::size_t from = 0; from < records.rows(); from += kRowsPerInsert) {
            PgParams rows;
            records.append(rows, from, std::min(records.rows(), from + kRowsPerInsert));
            // A record that ended queued is written printing and set back, as
            // when its job was recorded printing and then ended: it joins no
            // queue of the shop.
            if (EngineError error = m_connection.execute(
                    "INSERT INTO records(job_id, idx, number, copies, fields, columns, counter_names, search_text,"
                    " counter_values, outcome, reason, sheet, cell)"
                    " SELECT job, idx, number, copies, fields, columns, names, search, counter_values,"
                    " CASE WHEN outcome = 'queued' THEN 'printing' ELSE outcome END, reason, sheet, cell"
                    " FROM unnest($1::bigint[], $2::integer[], $3::integer[], $4::integer[], $5::text[], $6::text[],"
                    " $7::text[], $8::text[], $9::text[], $10::text[], $11::text[], $12::integer[], $13::integer[])"
                    " AS u(job, idx, number, copies, fields, columns, names, search, counter_values, outcome, reason,"
                    " sheet, cell)",
                    rows);
                error.failed())
                return error;
        }
        if (!queuedJobs.empty())
            if (EngineError error = m_connection.execute(
                    "UPDATE records r SET outcome = 'queued' FROM unnest($1::bigint[], $2::integer[]) AS q(job, idx)"
                    " WHERE r.job_id = q.job AND r.idx = q.idx",
                    {textArray(queuedJobs), textArray(queuedIdx)});
                error.failed())
                return error;
        result.value = static_cast<int>(fresh.size());
        return {};
    });
    if (!result.ok())
        result.value = 0;
    return result;
}

} // namespace ordavel::postgres_journal
