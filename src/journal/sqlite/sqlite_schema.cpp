#include "journal/sqlite/sqlite_schema.h"

#include <iterator>
#include <string>

namespace ordavel::sqlite_journal {

namespace {


constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE templates(hash TEXT PRIMARY KEY, bytes BLOB NOT NULL, size INTEGER NOT NULL, first_seen INTEGER NOT NULL);
CREATE TABLE jobs(
  id INTEGER PRIMARY KEY,
  created_at INTEGER NOT NULL,
  finished_at INTEGER NOT NULL DEFAULT 0,
  user TEXT NOT NULL,
  host TEXT NOT NULL,
  program TEXT NOT NULL,
  printer TEXT NOT NULL,
  template_path TEXT NOT NULL,
  template_name TEXT NOT NULL,
  template_hash TEXT NOT NULL REFERENCES templates(hash),
  calibration TEXT NOT NULL,
  copies INTEGER NOT NULL,
  outcome TEXT NOT NULL,
  reason TEXT NOT NULL DEFAULT '',
  cups_job_ids TEXT NOT NULL DEFAULT '');
CREATE INDEX jobs_created ON jobs(created_at);
CREATE TABLE records(
  id INTEGER PRIMARY KEY,
  job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
  idx INTEGER NOT NULL,
  number INTEGER NOT NULL,
  copies INTEGER NOT NULL,
  fields TEXT NOT NULL,
  columns TEXT NOT NULL,
  outcome TEXT NOT NULL,
  reason TEXT NOT NULL DEFAULT '',
  cups_job_id INTEGER NOT NULL DEFAULT 0,
  UNIQUE(job_id, idx));
CREATE TABLE counters(name TEXT PRIMARY KEY, next_value INTEGER NOT NULL);
)sql";

// Version 2: job kinds, reprints, claims by another process, counter values
// per record and a trigram index over every printed value for searching.
constexpr const char* kSchemaV2 = R"sql(
ALTER TABLE jobs ADD COLUMN kind TEXT NOT NULL DEFAULT 'page';
ALTER TABLE jobs ADD COLUMN data_source TEXT NOT NULL DEFAULT '';
ALTER TABLE jobs ADD COLUMN repeats INTEGER NOT NULL DEFAULT 0;
ALTER TABLE jobs ADD COLUMN claimant TEXT NOT NULL DEFAULT '';
CREATE INDEX jobs_outcome ON jobs(outcome);
ALTER TABLE records ADD COLUMN counter_names TEXT NOT NULL DEFAULT '[]';
ALTER TABLE records ADD COLUMN search_text TEXT NOT NULL DEFAULT '';
CREATE TABLE record_counters(
  record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  value INTEGER NOT NULL,
  PRIMARY KEY(record_id, name)) WITHOUT ROWID;
UPDATE records SET search_text = coalesce((SELECT group_concat(v, char(10)) FROM (
    SELECT json_extract(f.value, '$[1]') AS v FROM json_each(records.fields) AS f
    UNION ALL SELECT json_extract(c.value, '$[1]') FROM json_each(records.columns) AS c)), '');
CREATE VIRTUAL TABLE record_search USING fts5(search_text, content='records', content_rowid='id', tokenize='trigram');
CREATE TRIGGER records_search_insert AFTER INSERT ON records BEGIN
  INSERT INTO record_search(rowid, search_text) VALUES (new.id, new.search_text);
END;
CREATE TRIGGER records_search_delete AFTER DELETE ON records BEGIN
  INSERT INTO record_search(record_search, rowid, search_text) VALUES ('delete', old.id, old.search_text);
END;
CREATE TRIGGER records_search_update AFTER UPDATE OF search_text ON records BEGIN
  INSERT INTO record_search(record_search, rowid, search_text) VALUES ('delete', old.id, old.search_text);
  INSERT INTO record_search(rowid, search_text) VALUES (new.id, new.search_text);
END;
INSERT INTO record_search(record_search) VALUES ('rebuild');
)sql";

// Version 3: the search index is filled after a print's records rather than
// row by row as each is written (search_indexed.upto: the last record id in
// it; newer records are searched without it), records whose printed fields
// follow later (fields = ''), and the designer's offer to resume a job.
constexpr const char* kSchemaV3 = R"sql(
ALTER TABLE jobs ADD COLUMN resume_offered INTEGER NOT NULL DEFAULT 0;
DROP TRIGGER records_search_insert;
DROP TRIGGER records_search_delete;
DROP TRIGGER records_search_update;
CREATE TABLE search_indexed(upto INTEGER NOT NULL);
INSERT INTO search_indexed(upto) SELECT coalesce(max(id), 0) FROM records;
CREATE TRIGGER records_search_delete AFTER DELETE ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_search(record_search, rowid, search_text) VALUES ('delete', old.id, old.search_text);
END;
CREATE TRIGGER records_search_update AFTER UPDATE OF search_text ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_search(record_search, rowid, search_text) VALUES ('delete', old.id, old.search_text);
  INSERT INTO record_search(rowid, search_text) VALUES (new.id, new.search_text);
END;
)sql";

// Version 4: the search index (record_text) is cut by value_trigrams
// (below): no token spans two values, and a search of two characters is
// answered from it too. It starts empty and is filled a chunk at a time by
// kIndexSearch, and the old index (record_search) is cleared away a chunk
// at a time (kOldIndexes): neither the upgrade nor the first print after
// it works through a large journal at once.
constexpr const char* kSchemaV4 = R"sql(
DROP TRIGGER records_search_delete;
DROP TRIGGER records_search_update;
CREATE VIRTUAL TABLE record_text USING fts5(search_text, content='records', content_rowid='id',
  tokenize='value_trigrams', columnsize=0);
UPDATE search_indexed SET upto = 0;
CREATE TRIGGER records_text_delete AFTER DELETE ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_text(record_text, rowid, search_text) VALUES ('delete', old.id, old.search_text);
END;
CREATE TRIGGER records_text_update AFTER UPDATE OF search_text ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_text(record_text, rowid, search_text) VALUES ('delete', old.id, old.search_text);
  INSERT INTO record_text(rowid, search_text) VALUES (new.id, new.search_text);
END;
)sql";

// Version 5: each record's counter values in its own row (counter_values,
// JSON [[name, value], ...], '' for none) rather than a row each in
// record_counters, so that a print writes one row per record. Only records
// that took counter values are rewritten by the upgrade.
constexpr const char* kSchemaV5 = R"sql(
ALTER TABLE records ADD COLUMN counter_values TEXT NOT NULL DEFAULT '';
UPDATE records SET counter_values = (SELECT json_group_array(json_array(rc.name, rc.value))
    FROM record_counters rc WHERE rc.record_id = records.id)
  WHERE id IN (SELECT record_id FROM record_counters);
DROP TABLE record_counters;
)sql";

// Version 6: the search index keyed by job (record_words: each record's
// key is its job's id times 2^32 plus its index in the job), so that a search
// finds the jobs of its matches without reading a record, and a job's record
// count kept with the job (jobs.record_count), so that a listing does not
// count them. The index is contentless: the record's search text stays in
// records alone. It starts empty and is filled a chunk at a time, as the
// index of schema 4 was, which is cleared away a chunk at a time.
constexpr const char* kSchemaV6 = R"sql(
ALTER TABLE jobs ADD COLUMN record_count INTEGER NOT NULL DEFAULT 0;
UPDATE jobs SET record_count = (SELECT count(*) FROM records r WHERE r.job_id = jobs.id);
DROP TRIGGER records_text_delete;
DROP TRIGGER records_text_update;
CREATE VIRTUAL TABLE record_words USING fts5(search_text, content='', columnsize=0, tokenize='value_trigrams');
UPDATE search_indexed SET upto = 0;
CREATE TRIGGER records_words_delete AFTER DELETE ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_words(record_words, rowid, search_text) VALUES ('delete', (old.job_id << 32) + old.idx, old.search_text);
END;
CREATE TRIGGER records_words_update AFTER UPDATE OF search_text ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_words(record_words, rowid, search_text) VALUES ('delete', (old.job_id << 32) + old.idx, old.search_text);
  INSERT INTO record_words(rowid, search_text) VALUES ((new.job_id << 32) + new.idx, new.search_text);
END;
)sql";

// Version 7: where each record's (first) form was drawn on a template of
// several forms to a sheet: the sheet within its print and the cell on it,
// both from 1; 0 for a record not on a sheet, as every older one reads.
constexpr const char* kSchemaV7 = R"sql(
ALTER TABLE records ADD COLUMN sheet INTEGER NOT NULL DEFAULT 0;
ALTER TABLE records ADD COLUMN cell INTEGER NOT NULL DEFAULT 0;
)sql";

// The steps from each version to the next: kSchemaSteps[v - 1] moves a file
// from version v to v + 1.
constexpr const char* kSchemaSteps[] = {kSchemaV2, kSchemaV3, kSchemaV4, kSchemaV5, kSchemaV6, kSchemaV7};
static_assert(std::size(kSchemaSteps) == kSchemaVersion - 1);

} // namespace

const char* const kIndexSearch = R"sql(
INSERT INTO record_words(rowid, search_text)
  SELECT (job_id << 32) + idx, search_text FROM records WHERE id > (SELECT upto FROM search_indexed) ORDER BY id LIMIT 20000;
UPDATE search_indexed SET upto = coalesce((SELECT max(id) FROM (SELECT id FROM records
  WHERE id > (SELECT upto FROM search_indexed) ORDER BY id LIMIT 20000)), upto);
)sql";


const OldIndex kOldIndexes[2] = {
    {"SELECT 1 FROM sqlite_master WHERE name = 'record_search_data'",
     "DELETE FROM record_search_data WHERE id IN (SELECT id FROM record_search_data WHERE id > 10 LIMIT 2000)",
     "DROP TABLE record_search"},
    {"SELECT 1 FROM sqlite_master WHERE name = 'record_text_data'",
     "DELETE FROM record_text_data WHERE id IN (SELECT id FROM record_text_data WHERE id > 10 LIMIT 2000)",
     "DROP TABLE record_text"},
};

const char* const kJobColumns =
    "id, created_at, finished_at, user, host, program, kind, printer, template_path, template_name, template_hash,"
    " calibration, copies, data_source, repeats, outcome, reason, claimant, cups_job_ids,"
    " record_count,"
    " CASE WHEN jobs.outcome = 'printed' THEN record_count"
    " ELSE (SELECT count(*) FROM records r WHERE r.job_id = jobs.id AND r.outcome = 'printed') END, resume_offered";

DbError migrate(sqlite3* db, int& version)
{
    {
        Statement read(db, "PRAGMA user_version");
        if (!read.step())
            return errorOf(db, read.code() == SQLITE_OK ? SQLITE_ERROR : read.code());
        version = static_cast<int>(read.integer(0));
    }
    if (version > kSchemaVersion)
        return {SQLITE_ERROR, "the journal was written by a newer program (schema " + std::to_string(version) + ")"};
    if (version == kSchemaVersion)
        return {};
    if (DbError error = exec(db, "BEGIN IMMEDIATE"); error.code != SQLITE_OK)
        return error;
    // Another process may have migrated it while this one waited.
    Statement again(db, "PRAGMA user_version");
    again.step();
    int at = static_cast<int>(again.integer(0));
    again.reset();
    DbError error;
    if (at == 0) {
        // A file without tables is new; one with tables and no version is not ours.
        Statement tables(db, "SELECT count(*) FROM sqlite_master");
        tables.step();
        if (tables.integer(0) != 0)
            error = {SQLITE_NOTADB, "the file holds tables that are not a journal"};
        else
            error = exec(db, kSchemaV1);
        at = 1;
    }
    for (; error.code == SQLITE_OK && at < kSchemaVersion; ++at)
        error = exec(db, kSchemaSteps[at - 1]);
    if (error.code == SQLITE_OK)
        error = exec(db, ("PRAGMA user_version=" + std::to_string(at)).c_str());
    if (error.code == SQLITE_OK)
        error = exec(db, "COMMIT");
    if (error.code != SQLITE_OK) {
        exec(db, "ROLLBACK");
        return error;
    }
    version = at;
    return {};
}

} // namespace ordavel::sqlite_journal
