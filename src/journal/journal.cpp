#include "journal/journal.h"

#include "journal/journal_system.h"
#include "journal/search_tokenizer.h"
#include "journal/sha256.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <unordered_map>

namespace ordavel {

namespace {

namespace fs = std::filesystem;

// A lock held by another program is waited for this long, then the journal
// gives up and the print goes ahead without it.
constexpr int kBusyTimeoutMs = 1500;

// Pages in the write-ahead log at which a commit copies them into the
// database file itself, rather than leaving it to the tidying after a print.
constexpr int kCommitCheckpointPages = 10000;

// The schema this program writes. Version 1 is the first one released; each
// later step moves a file forward by one version.
constexpr int kSchemaVersion = 7;

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

// A record's key in the search index has its job in the bits above these
// (`<< 32` in the SQL of kSchemaV6 and kIndexSearch).
constexpr int kJobKeyShift = 32;

// Adds up to 20,000 records above search_indexed.upto to the search index,
// oldest first, and moves the mark past them. A print's records join in
// one call after its pages are out; a backlog (a journal just upgraded) is
// worked off over several calls, each a bounded delay.
constexpr const char* kIndexSearch = R"sql(
INSERT INTO record_words(rowid, search_text)
  SELECT (job_id << 32) + idx, search_text FROM records WHERE id > (SELECT upto FROM search_indexed) ORDER BY id LIMIT 20000;
UPDATE search_indexed SET upto = coalesce((SELECT max(id) FROM (SELECT id FROM records
  WHERE id > (SELECT upto FROM search_indexed) ORDER BY id LIMIT 20000)), upto);
)sql";

// The indexes of schemas 3 and 4, left by the upgrades: dropping one whole
// reads every page of it (seconds for a million records). Its segments (rows
// above 10 of its data table; 1 and 10 hold what opening the table reads) go
// 2,000 at a time, then the emptied table is dropped.
struct OldIndex {
    const char* left;
    const char* clear;
    const char* drop;
};
constexpr OldIndex kOldIndexes[] = {
    {"SELECT 1 FROM sqlite_master WHERE name = 'record_search_data'",
     "DELETE FROM record_search_data WHERE id IN (SELECT id FROM record_search_data WHERE id > 10 LIMIT 2000)",
     "DROP TABLE record_search"},
    {"SELECT 1 FROM sqlite_master WHERE name = 'record_text_data'",
     "DELETE FROM record_text_data WHERE id IN (SELECT id FROM record_text_data WHERE id > 10 LIMIT 2000)",
     "DROP TABLE record_text"},
};

// A job's columns with its record count and printed count. A job finished
// printed has every record printed, so only other jobs need their records
// read to count the printed ones: a listing of many jobs would otherwise
// read every row of them.
constexpr const char* kJobColumns =
    "id, created_at, finished_at, user, host, program, kind, printer, template_path, template_name, template_hash,"
    " calibration, copies, data_source, repeats, outcome, reason, claimant, cups_job_ids,"
    " record_count,"
    " CASE WHEN jobs.outcome = 'printed' THEN record_count"
    " ELSE (SELECT count(*) FROM records r WHERE r.job_id = jobs.id AND r.outcome = 'printed') END, resume_offered";

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// A failure of one call, with SQLite's code so that damage can be told apart.
struct DbError {
    int code = SQLITE_OK;
    std::string message;
};

// Statements prepared once per connection and kept, by their SQL text's
// address (the texts are literals): a print's writes prepare nothing.
class StatementCache {
public:
    ~StatementCache() { clear(); }
    sqlite3_stmt* get(sqlite3* db, const char* sql, int& code)
    {
        if (const auto found = m_kept.find(sql); found != m_kept.end()) {
            code = SQLITE_OK;
            return found->second;
        }
        sqlite3_stmt* stmt = nullptr;
        code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (code == SQLITE_OK)
            m_kept.emplace(sql, stmt);
        return stmt;
    }
    // Before the connection closes.
    void clear()
    {
        for (const auto& [sql, stmt] : m_kept)
            sqlite3_finalize(stmt);
        m_kept.clear();
    }

private:
    std::unordered_map<const char*, sqlite3_stmt*> m_kept;
};

class Statement {
public:
    // Prepared for this one use.
    Statement(sqlite3* db, const char* sql)
    {
        m_code = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    // Kept in `cache` and reset for the next use when this ends.
    Statement(StatementCache& cache, sqlite3* db, const char* sql) : m_kept(true)
    {
        m_stmt = cache.get(db, sql, m_code);
    }
    ~Statement()
    {
        if (!m_kept) {
            sqlite3_finalize(m_stmt);
        } else if (m_stmt != nullptr) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return m_code == SQLITE_OK; }
    int code() const { return m_code; }

    Statement& bind(int at, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, at, value);
        return *this;
    }
    Statement& bind(int at, int value) { return bind(at, static_cast<std::int64_t>(value)); }
    Statement& bind(int at, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int at, const std::string& text) { return bind(at, std::string_view(text)); }
    Statement& bind(int at, const char* text) { return bind(at, std::string_view(text)); }
    // Text that outlives the statement's next step: not copied.
    Statement& bindStatic(int at, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& bindBlob(int at, std::string_view bytes)
    {
        sqlite3_bind_blob(m_stmt, at, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        return *this;
    }

    // True with a row to read, false when done; code() tells a failure.
    bool step()
    {
        if (m_code != SQLITE_OK && m_code != SQLITE_ROW)
            return false;
        const int code = sqlite3_step(m_stmt);
        if (code == SQLITE_ROW) {
            m_code = SQLITE_ROW;
            return true;
        }
        m_code = code == SQLITE_DONE ? SQLITE_OK : code;
        return false;
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        if (m_code == SQLITE_ROW)
            m_code = SQLITE_OK;
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string text(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_code = SQLITE_OK;
    bool m_kept = false;
};

DbError errorOf(sqlite3* db, int code)
{
    if (code == SQLITE_OK || code == SQLITE_ROW)
        return {};
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return {code, message != nullptr ? message : sqlite3_errstr(code)};
}

DbError exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    const int code = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    DbError error;
    if (code != SQLITE_OK) {
        error = {sqlite3_extended_errcode(db), message != nullptr ? message : sqlite3_errstr(code)};
    }
    sqlite3_free(message);
    return error;
}

// The length of the well-formed UTF-8 sequence at text[i], 0 if there is none.
std::size_t wellFormedLength(std::string_view text, std::size_t i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char c = bytes[i];
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    if (c >= 0xc2 && c <= 0xdf)
        length = 2;
    else if (c >= 0xe0 && c <= 0xef)
        length = 3;
    else if (c >= 0xf0 && c <= 0xf4)
        length = 4;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((bytes[i + k] & 0xc0) != 0x80)
            return 0;
    const unsigned char d = bytes[i + 1];
    if ((c == 0xe0 && d < 0xa0) || (c == 0xed && d >= 0xa0) || (c == 0xf0 && d < 0x90) || (c == 0xf4 && d >= 0x90))
        return 0;
    return length;
}

bool isWellFormedUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = wellFormedLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// How appendJsonString treats each byte: copied as it is (printable ASCII),
// escaped, the lead byte of a three-byte sequence whose second byte may be
// any continuation byte (most of a Chinese text), or checked in full.
enum JsonByte : unsigned char { kJsonPlain, kJsonEscape, kJsonLead3, kJsonCheck };
constexpr std::array<unsigned char, 256> kJsonBytes = [] {
    std::array<unsigned char, 256> kinds{};
    for (int c = 0; c < 256; ++c) {
        if (c < 0x20 || c == '"' || c == '\\')
            kinds[c] = kJsonEscape;
        else if (c < 0x80)
            kinds[c] = kJsonPlain;
        else if ((c >= 0xe1 && c <= 0xec) || c == 0xee || c == 0xef)
            kinds[c] = kJsonLead3;
        else
            kinds[c] = kJsonCheck;
    }
    return kinds;
}();

// A JSON string of `text` as nlohmann::json writes it (UTF-8 kept, invalid
// bytes as U+FFFD), without building a JSON value first: a print writes
// thousands of these.
void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t plain = 0; // start of the run of bytes copied as they are
    const auto flush = [&](std::size_t upto) {
        out.append(text.data() + plain, upto - plain);
    };
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        switch (kJsonBytes[c]) {
        case kJsonPlain:
            ++i;
            continue;
        case kJsonLead3:
            if (i + 2 < size && (bytes[i + 1] & 0xc0) == 0x80 && (bytes[i + 2] & 0xc0) == 0x80) {
                i += 3;
                continue;
            }
            break;
        case kJsonEscape:
            flush(i);
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            plain = ++i;
            continue;
        default:
            break;
        }
        const std::size_t length = wellFormedLength(text, i);
        if (length > 0) {
            i += length;
        } else {
            flush(i);
            out += "\xef\xbf\xbd";
            plain = ++i;
        }
    }
    flush(size);
    out += '"';
}

// valuesJson for the records of one job, which repeat the same names: each
// name's JSON is kept from one record to the next, and the text is written
// into the caller's string.
class ValuesJsonWriter {
public:
    void write(const JournalValues& values, std::string& text)
    {
        if (m_names.size() < values.size())
            m_names.resize(values.size());
        text.clear();
        text += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            auto& [name, opening] = m_names[i];
            if (opening.empty() || name != values[i].name) {
                name = values[i].name;
                opening = "[";
                appendJsonString(opening, name);
                opening += ',';
            }
            if (i > 0)
                text += ',';
            text += opening;
            appendJsonString(text, values[i].value);
            text += ']';
        }
        text += ']';
    }

private:
    std::vector<std::pair<std::string, std::string>> m_names; // a name and its JSON up to the value: ["name",
};

std::string valuesJson(const JournalValues& values)
{
    std::string text;
    ValuesJsonWriter().write(values, text);
    return text;
}

// Calls take(name, value) for each [name, value] pair, its name a string, of
// the JSON array `text`; anything else in it is passed over.
template <typename Take>
void forEachJsonPair(const std::string& text, Take&& take)
{
    const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
    if (!array.is_array())
        return;
    for (const auto& pair : array)
        if (pair.is_array() && pair.size() == 2 && pair[0].is_string())
            take(pair[0].get<std::string>(), pair[1]);
}

JournalValues valuesFromJson(const std::string& text)
{
    JournalValues values;
    forEachJsonPair(text, [&](std::string name, const nlohmann::json& value) {
        if (value.is_string())
            values.push_back({std::move(name), value.get<std::string>()});
    });
    return values;
}

std::string namesJson(const std::vector<std::string>& names)
{
    std::string text = "[";
    for (const auto& name : names) {
        if (text.size() > 1)
            text += ',';
        appendJsonString(text, name);
    }
    return text + "]";
}

// A record's counter values as stored: [["name",17],...], "" for none.
std::string countersJson(const std::vector<CounterValue>& values)
{
    if (values.empty())
        return {};
    std::string text = "[";
    for (const auto& value : values) {
        if (text.size() > 1)
            text += ',';
        text += '[';
        appendJsonString(text, value.name);
        text += ',';
        text += std::to_string(value.value);
        text += ']';
    }
    return text + "]";
}

// The counter values stored by countersJson, by name.
std::vector<CounterValue> countersFromJson(const std::string& text)
{
    std::vector<CounterValue> values;
    if (text.empty())
        return values;
    forEachJsonPair(text, [&](std::string name, const nlohmann::json& value) {
        if (value.is_number_integer())
            values.push_back({std::move(name), value.get<std::int64_t>()});
    });
    std::sort(values.begin(), values.end(), [](const CounterValue& a, const CounterValue& b) { return a.name < b.name; });
    return values;
}

std::vector<std::string> namesFromJson(const std::string& text)
{
    std::vector<std::string> names;
    const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
    if (array.is_array())
        for (const auto& name : array)
            if (name.is_string())
                names.push_back(name.get<std::string>());
    return names;
}

// Every value a record printed, one a line: what --search looks through. A
// column's value found within a printed field's text is left out: whatever
// matches it matches the field, and the index is spared the repetition.
void searchTextInto(const JournalValues& fields, const JournalValues& columns, std::string& text)
{
    text.clear();
    for (const auto& value : fields) {
        if (!text.empty())
            text += '\n';
        text += value.value;
    }
    const std::size_t printed = text.size();
    const auto isPrinted = [&](const std::string& value) {
        // Most often a box prints the column alone.
        for (const auto& field : fields)
            if (field.value == value)
                return true;
        return std::string_view(text).substr(0, printed).find(value) != std::string_view::npos;
    };
    for (const auto& value : columns) {
        if (value.value.empty() || isPrinted(value.value))
            continue;
        if (!text.empty())
            text += '\n';
        text += value.value;
    }
}

std::string searchTextOf(const JournalValues& fields, const JournalValues& columns)
{
    std::string text;
    searchTextInto(fields, columns, text);
    return text;
}

// The search text of a record whose fields arrive after its columns were
// stored alone (as `columnsText`, one value a line).
std::string searchTextWithFields(const JournalValues& fields, std::string_view columnsText)
{
    JournalValues columns;
    while (!columnsText.empty()) {
        const std::size_t end = columnsText.find('\n');
        columns.push_back({{}, std::string(columnsText.substr(0, end))});
        columnsText = end == std::string_view::npos ? std::string_view() : columnsText.substr(end + 1);
    }
    return searchTextOf(fields, columns);
}

std::string joinIds(const std::vector<int>& ids)
{
    std::string text;
    for (const int id : ids) {
        if (!text.empty())
            text += ',';
        text += std::to_string(id);
    }
    return text;
}

std::vector<int> splitIds(const std::string& text)
{
    std::vector<int> ids;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t comma = text.find(',', at);
        const std::string part = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (!part.empty())
            ids.push_back(std::atoi(part.c_str()));
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return ids;
}

// Asked once per process: a print should not wait for the user database.
const std::string& userName()
{
    static const std::string name = journal_system::userName();
    return name;
}

const std::string& hostName()
{
    static const std::string name = journal_system::hostName();
    return name;
}

// Journal paths are UTF-8; built from char8_t they name the same file on every system.
fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string runningHere() { return "pid " + std::to_string(journal_system::processId()) + "@" + hostName(); }

JournalTime now() { return static_cast<JournalTime>(std::time(nullptr)); }

std::size_t utf8Length(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80)
            ++count;
    return count;
}

std::string offMarkerOf(const std::string& path) { return path + ".off"; }

// One word of a search: what a record's search text (or a job's names) is
// matched with by LIKE, and the index's phrase for it ("" when the index
// cannot answer it: a single character, bytes that are not UTF-8).
struct SearchWord {
    std::string like;
    std::string term;
    bool prefix = false; // the index answers it as a prefix (two characters)
};

// A search's words: split at spaces (ASCII white space and U+3000). At most
// 24 words; the rest are left out.
std::vector<SearchWord> searchWords(std::string_view text)
{
    constexpr std::size_t kMostWords = 24;
    std::vector<std::string> parts;
    std::string part;
    const auto end = [&] {
        if (!part.empty())
            parts.push_back(std::move(part));
        part.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            end();
        } else if (text.substr(i, 3) == "\xe3\x80\x80") {
            end();
            i += 2;
        } else {
            part += c;
        }
    }
    end();
    std::vector<SearchWord> words;
    for (const auto& word : parts) {
        if (words.size() == kMostWords)
            break;
        SearchWord w;
        w.like = "%";
        for (const char c : word) {
            if (c == '%' || c == '_' || c == '\\')
                w.like += '\\';
            w.like += c;
        }
        w.like += '%';
        // The index answers a word of three characters or more as a
        // phrase, of two as a prefix.
        const std::size_t length = utf8Length(word);
        if (length >= 2 && isWellFormedUtf8(word)) {
            w.prefix = length == 2;
            w.term = "\"";
            for (const char c : word)
                w.term += c == '"' ? std::string("\"\"") : std::string(1, c);
            w.term += w.prefix ? "\"*" : "\"";
        }
        words.push_back(std::move(w));
    }
    return words;
}

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

} // namespace

std::string_view outcomeName(JournalOutcome outcome)
{
    switch (outcome) {
    case JournalOutcome::Queued: return "queued";
    case JournalOutcome::Printing: return "printing";
    case JournalOutcome::Printed: return "printed";
    case JournalOutcome::Failed: return "failed";
    case JournalOutcome::Cancelled: return "cancelled";
    case JournalOutcome::Expired: return "expired";
    }
    return "failed";
}

std::optional<JournalOutcome> outcomeNamed(std::string_view name)
{
    for (const auto outcome : {JournalOutcome::Queued, JournalOutcome::Printing, JournalOutcome::Printed,
                               JournalOutcome::Failed, JournalOutcome::Cancelled, JournalOutcome::Expired})
        if (outcomeName(outcome) == name)
            return outcome;
    return std::nullopt;
}

bool isFinal(JournalOutcome outcome)
{
    return outcome != JournalOutcome::Queued && outcome != JournalOutcome::Printing;
}

std::string_view kindName(JournalKind kind)
{
    switch (kind) {
    case JournalKind::Page: return "page";
    case JournalKind::Batch: return "batch";
    case JournalKind::Calibration: return "calibration";
    case JournalKind::Reprint: return "reprint";
    }
    return "page";
}

struct Journal::State {
    // Every call holds it: a print may write its job from a worker thread
    // while the window asks the same connection something.
    std::recursive_mutex mutex;
    std::string path;
    sqlite3* db = nullptr;
    int version = 0;
    std::string notice;
    mutable StatementCache statements; // reads keep theirs too
    bool nested = false;         // inside inOneTransaction: writes join its transaction
    DbError nestedError;         // the first failure within it
    // The file opened, to tell when another program moved it away.
    std::optional<journal_system::FileIdentity> identity;
    // The last template hashed, so that printing one template again does not hash it again.
    std::string lastTemplate;
    std::string lastTemplateHash;
    // Pages in the write-ahead log after the last commit (walHook).
    int logPages = 0;

    ~State() { close(); }

    // After each commit of this connection: notes the pages in the log and
    // copies them into the database file once there are 10,000, as SQLite's
    // own automatic checkpoint would (this hook takes its place).
    static int walHook(void* state, sqlite3* db, const char* name, int pages)
    {
        static_cast<State*>(state)->logPages = pages;
        if (pages >= kCommitCheckpointPages)
            sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        return SQLITE_OK;
    }
    void close()
    {
        statements.clear();
        if (db != nullptr)
            sqlite3_close_v2(db);
        db = nullptr;
    }

    Statement kept(const char* sql) const { return Statement(statements, db, sql); }

    // Opens the file, sets WAL and full synchronous commits and brings the
    // schema to kSchemaVersion.
    DbError connect()
    {
        close();
        const int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                         nullptr);
        if (code != SQLITE_OK) {
            DbError error = errorOf(db, code);
            close();
            return error;
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // journal_mode reads the header first: a file that is not a database fails here.
        // The write-ahead log is copied into the database file (a checkpoint,
        // two more waits for the disk) when the journal is tidied after a
        // print (Journal::indexSearch); a commit does it itself only once the
        // log holds 10,000 pages (walHook), and a log left larger is cut back
        // to 4 MiB.
        for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON",
                                   "PRAGMA journal_size_limit=4194304"})
            if (DbError error = exec(db, pragma); error.code != SQLITE_OK)
                return error;
        sqlite3_wal_hook(db, walHook, this);
        if (std::string error = registerSearchTokenizer(db); !error.empty())
            return {SQLITE_ERROR, error};
        identity = journal_system::fileIdentity(path);
        return migrate();
    }

    DbError migrate()
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

    // Moves a damaged file (with its WAL) aside and starts a fresh one.
    // The new name of the file, or empty when it could not be moved.
    std::string setAside()
    {
        close();
        char stamp[32];
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        std::string target = path + ".damaged-" + stamp;
        std::error_code ec;
        for (int n = 2; fs::exists(pathOf(target), ec); ++n)
            target = path + ".damaged-" + stamp + "-" + std::to_string(n);
        fs::rename(pathOf(path), pathOf(target), ec);
        if (ec)
            return {};
        fs::rename(pathOf(path + "-wal"), pathOf(target + "-wal"), ec);
        fs::remove(pathOf(path + "-shm"), ec);
        return target;
    }

    // After damage met during a call: set aside, reopen, and note it once.
    bool recover(const DbError& error)
    {
        if (!isDamage(error.code))
            return false;
        const std::string moved = setAside();
        if (moved.empty())
            return false;
        notice = "the journal was damaged (" + error.message + "); it was set aside as \"" + moved
            + "\" and a new one started";
        return connect().code == SQLITE_OK;
    }

    // Runs `work` in one write transaction; on damage sets the file aside and
    // runs it once more on the fresh journal.
    int batchDepth = 0; // inside Journal::batch, whose transaction every write joins

    template <typename Work>
    std::string write(Work&& work)
    {
        if (nested) {
            // Part of inOneTransaction's transaction, which ends it.
            const DbError error = work();
            if (error.code != SQLITE_OK && nestedError.code == SQLITE_OK)
                nestedError = error;
            return error.message;
        }
        if (batchDepth > 0) {
            // One call of a batch: undone alone when it fails.
            DbError error = exec(db, "SAVEPOINT call");
            if (error.code == SQLITE_OK)
                error = work();
            if (error.code != SQLITE_OK)
                exec(db, "ROLLBACK TO call");
            exec(db, "RELEASE call");
            return error.message;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (db == nullptr)
                return "the journal is not open";
            DbError error = exec(db, "BEGIN IMMEDIATE");
            if (error.code == SQLITE_OK)
                error = work();
            if (error.code == SQLITE_OK)
                error = exec(db, "COMMIT");
            if (error.code == SQLITE_OK)
                return {};
            exec(db, "ROLLBACK");
            if (attempt == 0 && recover(error))
                continue;
            return error.message;
        }
        return "the journal could not be written";
    }

    template <typename Work>
    std::string read(Work&& work) const
    {
        if (db == nullptr)
            return "the journal is not open";
        const DbError error = work();
        if (error.code != SQLITE_OK && isDamage(error.code))
            const_cast<State*>(this)->recover(error);
        return error.message;
    }

    DbError fail(const Statement& statement) const { return errorOf(db, statement.code()); }

    // A chunk of the search index's work, in the caller's transaction.
    DbError indexSearch()
    {
        for (const OldIndex& old : kOldIndexes) {
            Statement left(kept(old.left));
            if (!left.step())
                continue;
            left.reset();
            // Nothing reads an old index. One emptied, or one that cannot be
            // cleared (its tables read-only in defensive mode), is dropped
            // whole and the next looked at; when dropping fails, the next
            // call tries again. The print's writes stand either way.
            Statement clear(kept(old.clear));
            clear.step();
            if (clear.code() == SQLITE_OK && sqlite3_changes(db) > 0)
                break;
            exec(db, old.drop);
        }
        return exec(db, kIndexSearch);
    }

    // Prints leave their records out of the search index; a search first
    // adds a chunk of them (kIndexSearch's bound). It does not wait for a
    // lock another program holds and is skipped within a transaction: the
    // records left out are found without the index all the same.
    void indexBeforeSearch()
    {
        if (db == nullptr || nested || batchDepth > 0 || sqlite3_get_autocommit(db) == 0)
            return;
        Statement pending(kept("SELECT EXISTS (SELECT 1 FROM records WHERE id > (SELECT upto FROM search_indexed))"));
        const bool any = pending.step() && pending.integer(0) != 0;
        pending.reset();
        if (!any)
            return;
        sqlite3_busy_timeout(db, 0);
        write([&]() -> DbError { return indexSearch(); });
        if (db != nullptr)
            sqlite3_busy_timeout(db, kBusyTimeoutMs);
    }

    // The jobs whose indexed records match `pattern` (an index query), as a JSON
    // array of their ids. The index gives its matches in key order, a job's
    // together; once a job has shown a few, the rest of it is skipped by seeking
    // the index to the next job's first key. A prefix query is not re-sought:
    // the index answers it by merging the lists of every term it covers, and
    // would merge them again for each seek.
    DbError jobsMatching(const std::string& pattern, bool prefix, std::string& json) const
    {
        constexpr int kMatchesBeforeSkipping = 8;
        Statement match(kept("SELECT rowid FROM record_words WHERE record_words MATCH ?1 AND rowid >= ?2"));
        std::int64_t from = 0;
        std::int64_t last = -1;
        int inJob = 0;
        json = "[";
        match.bindStatic(1, pattern).bind(2, from);
        while (match.step()) {
            const std::int64_t job = match.integer(0) >> kJobKeyShift;
            if (job != last) {
                if (last >= 0)
                    json += ',';
                json += std::to_string(job);
                last = job;
                inJob = 0;
            }
            if (!prefix && ++inJob == kMatchesBeforeSkipping) {
                from = (job + 1) << kJobKeyShift;
                match.reset();
                match.bindStatic(1, pattern).bind(2, from);
            }
        }
        json += ']';
        return fail(match);
    }

    // The jobs with a record that holds every word of `words` whose bit is
    // in `needed`, added to `found`; of `among` alone when set (sorted).
    // The index answers when it can answer every such word, and the records
    // not in it yet are looked through one by one.
    DbError recordsHolding(const std::vector<SearchWord>& words, std::uint32_t needed,
                           const std::vector<JournalJobId>* among, std::set<JournalJobId>& found) const
    {
        std::string pattern;
        bool prefix = false;
        bool indexed = true;
        std::string sql = "WHERE 1";
        std::vector<const std::string*> likes;
        for (std::size_t k = 0; k < words.size(); ++k) {
            if ((needed & (1u << k)) == 0)
                continue;
            const SearchWord& word = words[k];
            indexed = indexed && !word.term.empty();
            if (!pattern.empty())
                pattern += " AND ";
            pattern += word.term;
            prefix = prefix || word.prefix;
            likes.push_back(&word.like);
            sql += " AND search_text LIKE ?" + std::to_string(likes.size()) + " ESCAPE '\\'";
        }
        const auto wanted = [among](JournalJobId job) {
            return among == nullptr || std::binary_search(among->begin(), among->end(), job);
        };
        if (indexed) {
            std::string json;
            if (DbError error = jobsMatching(pattern, prefix, json); error.code != SQLITE_OK)
                return error;
            for (const JournalJobId job : splitIds(json.substr(1, json.size() - 2)))
                if (wanted(job))
                    found.insert(job);
            sql += " AND id > (SELECT upto FROM search_indexed)";
        }
        std::string amongJson;
        if (among != nullptr) {
            amongJson = "[";
            for (const JournalJobId job : *among)
                amongJson += (amongJson.size() > 1 ? "," : "") + std::to_string(job);
            amongJson += "]";
            // The few records outside the index are found by their ids, not
            // through the jobs' (the "+" keeps the jobs' index out of it).
            sql += std::string(indexed ? " AND +job_id" : " AND job_id") + " IN (SELECT value FROM json_each(?"
                   + std::to_string(likes.size() + 1) + "))";
        }
        // Looking through every record, DISTINCT reads them in job order and
        // gives each job once; the records outside the index are read by id.
        sql = (indexed ? "SELECT job_id FROM records " : "SELECT DISTINCT job_id FROM records ") + sql;
        Statement select(db, sql.c_str());
        for (std::size_t i = 0; i < likes.size(); ++i)
            select.bindStatic(static_cast<int>(i) + 1, *likes[i]);
        if (among != nullptr)
            select.bindStatic(static_cast<int>(likes.size()) + 1, amongJson);
        while (select.step())
            found.insert(select.integer(0));
        return fail(select);
    }

    // The jobs a search finds, as a JSON array of their ids: a job is found
    // when one of its records holds every word, a word held by the job's
    // template or printer name counting as held by each of its records.
    DbError jobsSearched(const std::vector<SearchWord>& words, std::string& json) const
    {
        const std::uint32_t all = (1u << words.size()) - 1;
        std::map<JournalJobId, std::uint32_t> named; // the words each job's names hold
        Statement byName(kept("SELECT id FROM jobs WHERE template_name LIKE ?1 ESCAPE '\\' OR printer LIKE ?1 ESCAPE '\\'"));
        for (std::size_t k = 0; k < words.size(); ++k) {
            byName.reset();
            byName.bindStatic(1, words[k].like);
            while (byName.step())
                named[byName.integer(0)] |= 1u << k;
            if (byName.code() != SQLITE_OK)
                return fail(byName);
        }
        byName.reset();
        std::set<JournalJobId> found;
        std::map<std::uint32_t, std::vector<JournalJobId>> groups; // by the words the names hold
        for (const auto& [job, held] : named) {
            if (held == all)
                found.insert(job);
            else
                groups[held].push_back(job);
        }
        // A record holding every word matches whatever its job's names hold.
        if (DbError error = recordsHolding(words, all, nullptr, found); error.code != SQLITE_OK)
            return error;
        for (const auto& [held, jobs] : groups)
            if (DbError error = recordsHolding(words, all & ~held, &jobs, found); error.code != SQLITE_OK)
                return error;
        json = "[";
        for (const JournalJobId job : found)
            json += (json.size() > 1 ? "," : "") + std::to_string(job);
        json += "]";
        return {};
    }

    // Counter values for `names`, each taken from its counter (made at 1 when new).
    DbError takeCounters(const std::vector<std::string>& names, std::vector<CounterValue>& values)
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
    DbError takeCounterBlocks(const std::vector<JournalRecordIn>& records,
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
};

Journal::Journal(std::unique_ptr<State> state) : m_state(std::move(state)) {}
Journal::~Journal() = default;

std::string Journal::defaultPath() { return journal_system::defaultJournalPath(); }

Journal::Opened Journal::open(const std::string& path)
{
    Opened opened;
    std::error_code ec;
    const fs::path folder = pathOf(path).parent_path();
    if (!folder.empty())
        fs::create_directories(folder, ec);
    auto state = std::make_unique<State>();
    state->path = path;
    DbError error = state->connect();
    if (isDamage(error.code)) {
        opened.setAside = state->setAside();
        if (opened.setAside.empty()) {
            opened.error = error.message + " (and it could not be set aside)";
            return opened;
        }
        state->notice = "the journal was damaged (" + error.message + "); it was set aside as \"" + opened.setAside
            + "\" and a new one started";
        error = state->connect();
    }
    if (error.code != SQLITE_OK) {
        opened.error = error.message;
        // SQLite names a full disk only where it notices it; its shared-memory file fails first.
        if ((error.code & 0xff) != SQLITE_FULL && !folder.empty()
            && journal_system::diskFull(reinterpret_cast<const char*>(folder.u8string().c_str())))
            opened.error += " (the disk is full)";
        return opened;
    }
    opened.journal.reset(new Journal(std::move(state)));
    return opened;
}

bool Journal::isOff(const std::string& path)
{
    std::error_code ec;
    return fs::exists(pathOf(offMarkerOf(path)), ec);
}

std::string Journal::setOff(bool off, const std::string& path)
{
    std::error_code ec;
    const std::string marker = offMarkerOf(path);
    if (!off) {
        fs::remove(pathOf(marker), ec);
        return ec ? marker + ": " + ec.message() : std::string();
    }
    fs::create_directories(pathOf(path).parent_path(), ec);
    std::ofstream file(pathOf(marker), std::ios::binary);
    if (!file)
        return marker + ": " + std::strerror(errno);
    file << "The print journal is switched off; remove this file (or run ordavel-cli journal --on) to switch it on.\n";
    file.close();
    return file ? std::string() : marker + ": " + std::strerror(errno);
}

const std::string& Journal::path() const { return m_state->path; }
int Journal::schemaVersion() const { return m_state->version; }

std::string Journal::takeNotice()
{
    const std::lock_guard hold(m_state->mutex);
    std::string notice;
    notice.swap(m_state->notice);
    return notice;
}

JournalResult<JournalJobId> Journal::recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                               const std::function<void(JournalJobId)>& staged)
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<JournalJobId> result;
    if (job.records.empty()) {
        result.error = "a job needs at least one record";
        return result;
    }
    State& s = *m_state;
    if (s.lastTemplateHash.empty() || s.lastTemplate != job.templateBytes) {
        s.lastTemplate = job.templateBytes;
        s.lastTemplateHash = sha256Hex(job.templateBytes);
    }
    const std::string& hash = s.lastTemplateHash;
    const std::string_view outcome = outcomeName(job.startPrinting ? JournalOutcome::Printing : JournalOutcome::Queued);
    const JournalTime at = now();
    result.error = s.write([&]() -> DbError {
        // The bytes are bound only when the template is new to the journal.
        Statement known(s.kept("SELECT 1 FROM templates WHERE hash = ?1"));
        known.bindStatic(1, hash);
        const bool stored = known.step();
        if (known.code() != SQLITE_OK && known.code() != SQLITE_ROW)
            return s.fail(known);
        known.reset(); // done reading: a statement left open would keep the old search index from being dropped
        if (!stored) {
            Statement keep(s.db, "INSERT OR IGNORE INTO templates(hash, bytes, size, first_seen) VALUES (?1, ?2, ?3, ?4)");
            keep.bind(1, hash).bindBlob(2, job.templateBytes).bind(3, static_cast<std::int64_t>(job.templateBytes.size()))
                .bind(4, at);
            if (keep.step(), keep.code() != SQLITE_OK)
                return s.fail(keep);
        }

        Statement insert(s.kept("INSERT INTO jobs(created_at, user, host, program, kind, printer, template_path,"
                                " template_name, template_hash, calibration, copies, data_source, repeats, outcome,"
                                " claimant, record_count)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)"));
        insert.bind(1, at).bind(2, job.user.empty() ? userName() : job.user).bind(3, hostName())
            .bind(4, job.program).bind(5, kindName(job.kind)).bind(6, job.printer).bind(7, job.templatePath)
            .bind(8, job.templateName).bind(9, hash).bind(10, job.calibration).bind(11, job.copies)
            .bind(12, job.dataSource).bind(13, job.repeats).bind(14, outcome)
            .bind(15, job.startPrinting ? runningHere() : std::string())
            .bind(16, static_cast<std::int64_t>(job.records.size()));
        if (insert.step(), insert.code() != SQLITE_OK)
            return s.fail(insert);
        const JournalJobId id = sqlite3_last_insert_rowid(s.db);

        Statement record(s.kept("INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome,"
                                " counter_names, search_text, counter_values)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"));
        if (!record.prepared())
            return s.fail(record);
        std::vector<std::vector<CounterValue>> taken;
        if (DbError error = s.takeCounterBlocks(job.records, taken); error.code != SQLITE_OK)
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
                return s.fail(record);
        }
        result.value = id;
        if (!job.searchIndexLater)
            if (DbError error = s.indexSearch(); error.code != SQLITE_OK)
                return error;
        if (staged)
            staged(id);
        return {};
    });
    return result;
}

std::string Journal::indexSearch()
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    const std::string error = s.write([&]() -> DbError { return s.indexSearch(); });
    // What the prints left in the log goes into the database file now, as
    // far as other programs' readers allow (never waiting for them).
    if (error.empty() && s.db != nullptr)
        sqlite3_wal_checkpoint_v2(s.db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return error;
}

std::string Journal::tidyWhenDue(std::int64_t backlog, int logPages)
{
    const std::lock_guard hold(m_state->mutex); // indexSearch takes it again
    const State& s = *m_state;
    std::int64_t behind = 0;
    const std::string error = s.read([&]() -> DbError {
        Statement count(s.kept("SELECT coalesce(max(id), 0) - (SELECT upto FROM search_indexed) FROM records"));
        if (count.step())
            behind = count.integer(0);
        return s.fail(count);
    });
    if (!error.empty() || (behind < backlog && s.logPages < logPages))
        return error;
    return indexSearch();
}

std::string Journal::inOneTransaction(const std::function<std::string()>& work)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    if (s.nested)
        return work();
    return s.write([&]() -> DbError {
        s.nested = true;
        s.nestedError = {};
        const std::string error = work();
        s.nested = false;
        if (s.nestedError.code != SQLITE_OK)
            return s.nestedError;
        return error.empty() ? DbError{} : DbError{SQLITE_ERROR, error};
    });
}

std::string Journal::setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        // A record stored with its fields to follow searches by its columns' values alone.
        Statement read(s.kept("SELECT id, fields, search_text FROM records WHERE job_id = ?1 AND idx = ?2"));
        Statement update(s.kept("UPDATE records SET fields = ?2, search_text = ?3 WHERE id = ?1"));
        std::string json, search;
        for (const auto& [index, values] : fields) {
            read.reset();
            read.bind(1, id).bind(2, index);
            if (!read.step()) {
                if (read.code() != SQLITE_OK)
                    return s.fail(read);
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
                return s.fail(update);
        }
        return {};
    });
}

std::string Journal::markResumeOffered(JournalJobId id)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement update(s.db, "UPDATE jobs SET resume_offered = 1 WHERE id = ?1");
        update.bind(1, id);
        update.step();
        return s.fail(update);
    });
}

bool Journal::isCurrent() const
{
    const std::lock_guard hold(m_state->mutex);
    return m_state->db != nullptr && m_state->identity.has_value()
        && journal_system::fileIdentity(m_state->path) == m_state->identity;
}

JournalResult<bool> Journal::claimJob(JournalJobId id, const std::string& claimant)
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<bool> result;
    State& s = *m_state;
    result.error = s.write([&]() -> DbError {
        Statement claim(s.db, "UPDATE jobs SET outcome = 'printing', claimant = ?2 WHERE id = ?1 AND outcome = 'queued'");
        claim.bind(1, id).bind(2, claimant);
        if (claim.step(), claim.code() != SQLITE_OK)
            return s.fail(claim);
        result.value = sqlite3_changes(s.db) == 1;
        if (!result.value)
            return {};
        Statement records(s.db, "UPDATE records SET outcome = 'printing' WHERE job_id = ?1 AND outcome = 'queued'");
        records.bind(1, id);
        records.step();
        return s.fail(records);
    });
    return result;
}

std::string Journal::markPrinting(JournalJobId id)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement job(s.kept("UPDATE jobs SET outcome = 'printing', claimant = ?2 WHERE id = ?1"));
        job.bind(1, id).bind(2, runningHere());
        if (job.step(), job.code() != SQLITE_OK)
            return s.fail(job);
        if (sqlite3_changes(s.db) != 1)
            return {SQLITE_ERROR, "no journal job " + std::to_string(id)};
        Statement records(s.kept("UPDATE records SET outcome = 'printing' WHERE job_id = ?1 AND outcome = 'queued'"));
        records.bind(1, id);
        records.step();
        return s.fail(records);
    });
}

std::string Journal::addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement read(s.kept("SELECT cups_job_ids FROM jobs WHERE id = ?1"));
        read.bind(1, id);
        if (!read.step())
            return read.code() == SQLITE_OK ? DbError{SQLITE_ERROR, "no journal job " + std::to_string(id)} : s.fail(read);
        std::vector<int> ids = splitIds(read.text(0));
        read.reset();
        if (cupsJobId > 0 && std::find(ids.begin(), ids.end(), cupsJobId) == ids.end())
            ids.push_back(cupsJobId);
        Statement job(s.kept("UPDATE jobs SET cups_job_ids = ?2 WHERE id = ?1"));
        job.bind(1, id).bind(2, joinIds(ids));
        if (job.step(), job.code() != SQLITE_OK)
            return s.fail(job);
        Statement records(s.kept("UPDATE records SET cups_job_id = ?2 WHERE job_id = ?1 AND idx BETWEEN ?3 AND ?4"));
        records.bind(1, id).bind(2, cupsJobId).bind(3, firstIndex).bind(4, lastIndex);
        records.step();
        return s.fail(records);
    });
}

std::string Journal::setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement update(s.kept("UPDATE records SET sheet = ?3, cell = ?4 WHERE job_id = ?1 AND idx = ?2"));
        for (const JournalPlace& place : places) {
            update.bind(1, id).bind(2, place.index).bind(3, place.sheet).bind(4, place.cell);
            if (update.step(), update.code() != SQLITE_OK)
                return s.fail(update);
            update.reset();
        }
        return {};
    });
}

std::string Journal::setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                      const std::string& reason)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement update(s.kept("UPDATE records SET outcome = ?2, reason = ?3 WHERE job_id = ?1 AND idx BETWEEN ?4 AND ?5"));
        update.bind(1, id).bind(2, outcomeName(outcome)).bind(3, reason).bind(4, firstIndex).bind(5, lastIndex);
        if (update.step(), update.code() != SQLITE_OK)
            return s.fail(update);
        if (outcome == JournalOutcome::Printed || outcome == JournalOutcome::Printing
            || outcome == JournalOutcome::Queued)
            return {};
        // Give counter values back, the last taken first, while each is still
        // the newest of its counter; a record keeps the values not given back.
        // A reprint's values (it took none: counter_names '[]') are not its to give back.
        Statement held(s.kept("SELECT id, counter_values FROM records WHERE job_id = ?1 AND idx BETWEEN ?2 AND ?3"
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
            return s.fail(held);
        std::stable_sort(values.begin(), values.end(),
                         [](const auto& a, const auto& b) { return a.second.value > b.second.value; });
        Statement giveBack(s.kept("UPDATE counters SET next_value = ?2 WHERE name = ?1 AND next_value = ?2 + 1"));
        std::set<std::int64_t> changed;
        for (const auto& [recordId, value] : values) {
            giveBack.reset();
            giveBack.bind(1, value.name).bind(2, value.value);
            if (giveBack.step(), giveBack.code() != SQLITE_OK)
                return s.fail(giveBack);
            if (sqlite3_changes(s.db) == 0)
                continue;
            std::erase(remaining[recordId], value);
            changed.insert(recordId);
        }
        Statement forget(s.kept("UPDATE records SET counter_values = ?2 WHERE id = ?1"));
        for (const std::int64_t recordId : changed) {
            forget.reset();
            forget.bind(1, recordId).bind(2, countersJson(remaining[recordId]));
            if (forget.step(), forget.code() != SQLITE_OK)
                return s.fail(forget);
        }
        return {};
    });
}

std::string Journal::finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement update(s.kept("UPDATE jobs SET outcome = ?2, reason = ?3, finished_at = ?4 WHERE id = ?1"));
        update.bind(1, id).bind(2, outcomeName(outcome)).bind(3, reason).bind(4, isFinal(outcome) ? now() : 0);
        if (update.step(), update.code() != SQLITE_OK)
            return s.fail(update);
        if (sqlite3_changes(s.db) != 1)
            return {SQLITE_ERROR, "no journal job " + std::to_string(id)};
        return {};
    });
}

JournalResult<int> Journal::expireQueued(JournalTime before, const std::string& reason)
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<int> result;
    State& s = *m_state;
    result.error = s.write([&]() -> DbError {
        Statement records(s.db, "UPDATE records SET outcome = 'expired', reason = ?2 WHERE outcome = 'queued' AND job_id IN"
                                " (SELECT id FROM jobs WHERE outcome = 'queued' AND created_at < ?1)");
        records.bind(1, before).bind(2, reason);
        if (records.step(), records.code() != SQLITE_OK)
            return s.fail(records);
        Statement jobs(s.db, "UPDATE jobs SET outcome = 'expired', reason = ?2, finished_at = ?3"
                             " WHERE outcome = 'queued' AND created_at < ?1");
        jobs.bind(1, before).bind(2, reason).bind(3, now());
        if (jobs.step(), jobs.code() != SQLITE_OK)
            return s.fail(jobs);
        result.value = sqlite3_changes(s.db);
        return {};
    });
    return result;
}

std::string Journal::retakeCounters(JournalJobId id, const std::vector<int>& indices, const JournalRefill& refill)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        for (const int index : indices) {
            Statement read(s.db, "SELECT id, number, copies, fields, columns, counter_names, outcome, reason, cups_job_id,"
                                 " counter_values FROM records WHERE job_id = ?1 AND idx = ?2");
            read.bind(1, id).bind(2, index);
            if (!read.step()) {
                if (read.code() != SQLITE_OK)
                    return s.fail(read);
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
            if (DbError error = s.takeCounters(missing, taken); error.code != SQLITE_OK)
                return error;
            record.counters.insert(record.counters.end(), taken.begin(), taken.end());
            Statement keep(s.db, "UPDATE records SET counter_values = ?2 WHERE id = ?1");
            keep.bind(1, record.id).bind(2, countersJson(record.counters));
            if (keep.step(), keep.code() != SQLITE_OK)
                return s.fail(keep);
            if (!refill)
                continue;
            refill(record);
            Statement update(s.db, "UPDATE records SET fields = ?2, search_text = ?3 WHERE id = ?1");
            update.bind(1, record.id).bind(2, valuesJson(record.fields)).bind(3, searchTextOf(record.fields, record.columns));
            if (update.step(), update.code() != SQLITE_OK)
                return s.fail(update);
        }
        return {};
    });
}

JournalResult<std::vector<JournalJob>> Journal::listJobs(const JournalQuery& query) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::vector<JournalJob>> result;
    const State& s = *m_state;
    const std::vector<SearchWord> words = searchWords(query.search);
    if (!words.empty())
        m_state->indexBeforeSearch();
    std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs WHERE 1";
    if (query.since)
        sql += " AND created_at >= ?1";
    if (query.until)
        sql += " AND created_at < ?2";
    if (!query.templateName.empty())
        sql += " AND (template_name = ?3 OR (length(template_name) = length(?3) + 4"
               " AND substr(template_name, 1, length(?3)) = ?3 AND lower(substr(template_name, -4)) = '.oxf'))";
    if (!query.printer.empty())
        sql += " AND printer = ?4";
    if (!query.program.empty())
        sql += " AND program = ?5";
    if (query.unfinishedOnly)
        sql += " AND outcome IN ('queued', 'printing')";
    if (query.after > 0)
        sql += " AND id > ?7";
    if (!words.empty())
        sql += " AND id IN (SELECT value FROM json_each(?6))";
    sql += " ORDER BY created_at DESC, id DESC";
    if (query.limit > 0)
        sql += " LIMIT " + std::to_string(query.limit);
    const std::string templateName = journalTemplateName(query.templateName);
    result.error = s.read([&]() -> DbError {
        // The index and the records are read in one snapshot: a record
        // indexed in between is found in one or the other.
        const bool own = sqlite3_get_autocommit(s.db) != 0;
        if (own)
            if (DbError error = exec(s.db, "BEGIN"); error.code != SQLITE_OK)
                return error;
        DbError failed = [&]() -> DbError {
            std::string found;
            if (!words.empty())
                if (DbError error = s.jobsSearched(words, found); error.code != SQLITE_OK)
                    return error;
            Statement select(s.db, sql.c_str());
            if (query.since)
                select.bind(1, *query.since);
            if (query.until)
                select.bind(2, *query.until);
            if (!query.templateName.empty())
                select.bind(3, templateName);
            if (!query.printer.empty())
                select.bind(4, query.printer);
            if (!query.program.empty())
                select.bind(5, query.program);
            if (!words.empty())
                select.bindStatic(6, found);
            if (query.after > 0)
                select.bind(7, query.after);
            while (select.step())
                result.value.push_back(jobFrom(select));
            return s.fail(select);
        }();
        if (own)
            exec(s.db, "COMMIT");
        return failed;
    });
    return result;
}

JournalResult<std::vector<int>> Journal::matchingRecords(JournalJobId id, const std::string& search) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::vector<int>> result;
    const State& s = *m_state;
    const std::vector<SearchWord> words = searchWords(search);
    std::string sql = "SELECT r.idx FROM records r JOIN jobs j ON j.id = r.job_id WHERE r.job_id = ?1";
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string at = "?" + std::to_string(i + 2);
        sql += " AND (r.search_text LIKE " + at + " ESCAPE '\\' OR j.template_name LIKE " + at
               + " ESCAPE '\\' OR j.printer LIKE " + at + " ESCAPE '\\')";
    }
    sql += " ORDER BY r.idx";
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, sql.c_str());
        select.bind(1, id);
        for (std::size_t i = 0; i < words.size(); ++i)
            select.bindStatic(static_cast<int>(i) + 2, words[i].like);
        while (select.step())
            result.value.push_back(static_cast<int>(select.integer(0)));
        return s.fail(select);
    });
    return result;
}

JournalResult<std::int64_t> Journal::changeCount() const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::int64_t> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement read(s.kept("PRAGMA data_version"));
        if (read.step())
            result.value = read.integer(0);
        return s.fail(read);
    });
    return result;
}

JournalResult<std::optional<JournalJob>> Journal::job(JournalJobId id) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::optional<JournalJob>> result;
    const State& s = *m_state;
    // Asked after every print: prepared once.
    static const std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs WHERE id = ?1";
    result.error = s.read([&]() -> DbError {
        Statement select(s.kept(sql.c_str()));
        select.bind(1, id);
        if (select.step())
            result.value = jobFrom(select);
        return s.fail(select);
    });
    return result;
}

JournalResult<std::vector<JournalRecord>> Journal::records(JournalJobId id) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::vector<JournalRecord>> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT id, idx, number, copies, fields, columns, outcome, reason, cups_job_id,"
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
        return s.fail(select);
    });
    return result;
}

JournalResult<std::vector<JournalJob>> Journal::unfinishedJobs(const std::string& program) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalQuery query;
    query.unfinishedOnly = true;
    query.program = program;
    JournalResult<std::vector<JournalJob>> result = listJobs(query);
    std::reverse(result.value.begin(), result.value.end());
    return result;
}

std::string Journal::batch(const std::function<void()>& calls)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    if (s.db == nullptr)
        return "the journal is not open";
    if (s.batchDepth > 0 || s.nested) {
        calls();
        return {};
    }
    DbError error = exec(s.db, "BEGIN IMMEDIATE");
    if (error.code != SQLITE_OK)
        return error.message;
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    };
    try {
        const Depth inside(s.batchDepth);
        calls();
    } catch (...) {
        exec(s.db, "ROLLBACK");
        throw;
    }
    error = exec(s.db, "COMMIT");
    if (error.code != SQLITE_OK) {
        exec(s.db, "ROLLBACK");
        return error.message;
    }
    return {};
}

JournalResult<int> Journal::countUnfinished(const std::string& program) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<int> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT COUNT(*) FROM jobs WHERE outcome IN ('queued', 'printing') AND program = ?1");
        select.bind(1, program);
        if (select.step())
            result.value = static_cast<int>(select.integer(0));
        return s.fail(select);
    });
    return result;
}

JournalResult<std::optional<std::string>> Journal::templateBytes(const std::string& hash) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::optional<std::string>> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT bytes FROM templates WHERE hash = ?1");
        select.bind(1, hash);
        if (select.step())
            result.value = select.text(0);
        return s.fail(select);
    });
    return result;
}

JournalResult<std::int64_t> Journal::nextCounterValue(const std::string& name) const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::int64_t> result;
    result.value = 1;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT next_value FROM counters WHERE name = ?1");
        select.bind(1, name);
        if (select.step())
            result.value = select.integer(0);
        return s.fail(select);
    });
    return result;
}

std::string Journal::setNextCounterValue(const std::string& name, std::int64_t next)
{
    const std::lock_guard hold(m_state->mutex);
    State& s = *m_state;
    return s.write([&]() -> DbError {
        Statement set(s.db, "INSERT INTO counters(name, next_value) VALUES (?1, ?2)"
                            " ON CONFLICT(name) DO UPDATE SET next_value = excluded.next_value");
        set.bind(1, name).bind(2, next);
        set.step();
        return s.fail(set);
    });
}

JournalResult<std::vector<CounterValue>> Journal::counters() const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<std::vector<CounterValue>> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT name, next_value FROM counters ORDER BY name");
        while (select.step())
            result.value.push_back({select.text(0), select.integer(1)});
        return s.fail(select);
    });
    return result;
}

JournalResult<int> Journal::pruneBefore(JournalTime before)
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<int> result;
    State& s = *m_state;
    result.error = s.write([&]() -> DbError {
        Statement jobs(s.db, "DELETE FROM jobs WHERE created_at < ?1 AND outcome NOT IN ('queued', 'printing')");
        jobs.bind(1, before);
        if (jobs.step(), jobs.code() != SQLITE_OK)
            return s.fail(jobs);
        result.value = sqlite3_changes(s.db);
        // New records take ids above the highest left: the index's mark may not lie above it.
        if (DbError error = exec(s.db, "UPDATE search_indexed SET upto = min(upto, (SELECT coalesce(max(id), 0) FROM records))");
            error.code != SQLITE_OK)
            return error;
        return exec(s.db, "DELETE FROM templates WHERE hash NOT IN (SELECT template_hash FROM jobs)");
    });
    if (result.ok())
        exec(s.db, "PRAGMA wal_checkpoint(TRUNCATE)");
    return result;
}

JournalResult<JournalStats> Journal::stats() const
{
    const std::lock_guard hold(m_state->mutex);
    JournalResult<JournalStats> result;
    const State& s = *m_state;
    result.error = s.read([&]() -> DbError {
        Statement select(s.db, "SELECT (SELECT count(*) FROM jobs), (SELECT count(*) FROM records),"
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
        return s.fail(select);
    });
    std::error_code ec;
    for (const std::string suffix : {"", "-wal"}) {
        const auto size = fs::file_size(pathOf(s.path + suffix), ec);
        if (!ec)
            result.value.fileBytes += static_cast<std::int64_t>(size);
    }
    return result;
}

std::string journalUserName() { return userName(); }

std::string journalTemplateName(std::string_view pathOrName)
{
    if (const std::size_t slash = pathOrName.find_last_of("/\\"); slash != std::string_view::npos)
        pathOrName.remove_prefix(slash + 1);
    if (pathOrName.size() > 4) {
        std::string suffix(pathOrName.substr(pathOrName.size() - 4));
        for (char& c : suffix)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (suffix == ".oxf")
            pathOrName.remove_suffix(4);
    }
    return std::string(pathOrName);
}

std::string formatJournalTime(JournalTime time)
{
    const auto t = static_cast<std::time_t>(time);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::optional<JournalTime> parseJournalTime(std::string_view text)
{
    // "today" and "yesterday": the start of that day, local time.
    if (text == "today" || text == "yesterday") {
        const std::time_t at = std::time(nullptr);
        std::tm local{};
        localtime_r(&at, &local);
        local.tm_hour = 0;
        local.tm_min = 0;
        local.tm_sec = 0;
        if (text == "yesterday")
            --local.tm_mday; // mktime carries it into the month before
        local.tm_isdst = -1;
        const std::time_t start = std::mktime(&local);
        if (start == static_cast<std::time_t>(-1))
            return std::nullopt;
        return static_cast<JournalTime>(start);
    }
    // YYYY-MM-DD, then optionally " HH:MM" or "THH:MM", then optionally ":SS".
    const auto digitsAt = [&](std::initializer_list<std::size_t> at) {
        for (const std::size_t i : at)
            if (text[i] < '0' || text[i] > '9')
                return false;
        return true;
    };
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return std::nullopt;
    if (!digitsAt({0, 1, 2, 3, 5, 6, 8, 9}) || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    if (text.size() > 10 && (!digitsAt({11, 12, 14, 15}) || (text[10] != ' ' && text[10] != 'T') || text[13] != ':'))
        return std::nullopt;
    if (text.size() > 16 && (!digitsAt({17, 18}) || text[16] != ':'))
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t count) {
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = text.size() > 10 ? number(11, 2) : 0, minute = text.size() > 10 ? number(14, 2) : 0;
    const int second = text.size() > 16 ? number(17, 2) : 0;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<JournalTime>(t);
}

} // namespace ordavel
