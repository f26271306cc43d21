#include "journal/sqlite/sqlite_engine.h"

#include "journal/sqlite/sqlite_schema.h"
#include "journal/stored_values.h"

#include <algorithm>
#include <map>
#include <set>

namespace ordavel::sqlite_journal {

using namespace journal_detail;

// A chunk of the search index's work, in the caller's transaction.
DbError SqliteEngine::indexSearchChunk()
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
        if (clear.code() == SQLITE_OK && sqlite3_changes(m_db) > 0)
            break;
        exec(m_db, old.drop);
    }
    return exec(m_db, kIndexSearch);
}

// Prints leave their records out of the search index; a search first
// adds a chunk of them (kIndexSearch's bound). It does not wait for a
// lock another program holds and is skipped within a transaction: the
// records left out are found without the index all the same.
void SqliteEngine::indexBeforeSearch()
{
    if (m_db == nullptr || inTransaction() || sqlite3_get_autocommit(m_db) == 0)
        return;
    Statement pending(kept("SELECT EXISTS (SELECT 1 FROM records WHERE id > (SELECT upto FROM search_indexed))"));
    const bool any = pending.step() && pending.integer(0) != 0;
    pending.reset();
    if (!any)
        return;
    sqlite3_busy_timeout(m_db, 0);
    write([&]() -> DbError { return indexSearchChunk(); }, false);
    if (m_db != nullptr)
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
}

// The jobs whose indexed records match `pattern` (an index query), as a JSON
// array of their ids. The index gives its matches in key order, a job's
// together; once a job has shown a few, the rest of it is skipped by seeking
// the index to the next job's first key. A prefix query is not re-sought:
// the index answers it by merging the lists of every term it covers, and
// would merge them again for each seek.
DbError SqliteEngine::jobsMatching(const std::string& pattern, bool prefix, std::string& json) const
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
DbError SqliteEngine::recordsHolding(const std::vector<SearchWord>& words, std::uint32_t needed,
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
    Statement select(m_db, sql.c_str());
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
DbError SqliteEngine::jobsSearched(const std::vector<SearchWord>& words, std::string& json) const
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

std::string SqliteEngine::indexSearch()
{
    const std::string error = write([&]() -> DbError { return indexSearchChunk(); });
    // What the prints left in the log goes into the database file now, as
    // far as other programs' readers allow (never waiting for them).
    if (error.empty() && m_db != nullptr)
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return error;
}

std::string SqliteEngine::tidyWhenDue(std::int64_t backlog, int logPages)
{
    std::int64_t behind = 0;
    const std::string error = read([&]() -> DbError {
        Statement count(kept("SELECT coalesce(max(id), 0) - (SELECT upto FROM search_indexed) FROM records"));
        if (count.step())
            behind = count.integer(0);
        return fail(count);
    });
    if (!error.empty() || (behind < backlog && m_logPages < logPages))
        return error;
    return indexSearch();
}

JournalResult<std::vector<JournalJob>> SqliteEngine::listJobs(const JournalQuery& query)
{
    JournalResult<std::vector<JournalJob>> result;
    // A station's own journal: no job was printed by a named station of a shop.
    if (!query.station.empty())
        return result;
    const std::vector<SearchWord> words = searchWords(query.search);
    if (!words.empty())
        indexBeforeSearch();
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
    result.error = read([&]() -> DbError {
        // The index and the records are read in one snapshot: a record
        // indexed in between is found in one or the other.
        const bool own = sqlite3_get_autocommit(m_db) != 0;
        if (own)
            if (DbError error = exec(m_db, "BEGIN"); error.code != SQLITE_OK)
                return error;
        DbError failed = [&]() -> DbError {
            std::string found;
            if (!words.empty())
                if (DbError error = jobsSearched(words, found); error.code != SQLITE_OK)
                    return error;
            Statement select(m_db, sql.c_str());
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
            return fail(select);
        }();
        if (own)
            exec(m_db, "COMMIT");
        return failed;
    });
    return result;
}

JournalResult<std::vector<int>> SqliteEngine::matchingRecords(JournalJobId id, const std::string& search)
{
    JournalResult<std::vector<int>> result;
    const std::vector<SearchWord> words = searchWords(search);
    std::string sql = "SELECT r.idx FROM records r JOIN jobs j ON j.id = r.job_id WHERE r.job_id = ?1";
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string at = "?" + std::to_string(i + 2);
        sql += " AND (r.search_text LIKE " + at + " ESCAPE '\\' OR j.template_name LIKE " + at
               + " ESCAPE '\\' OR j.printer LIKE " + at + " ESCAPE '\\')";
    }
    sql += " ORDER BY r.idx";
    result.error = read([&]() -> DbError {
        Statement select(m_db, sql.c_str());
        select.bind(1, id);
        for (std::size_t i = 0; i < words.size(); ++i)
            select.bindStatic(static_cast<int>(i) + 2, words[i].like);
        while (select.step())
            result.value.push_back(static_cast<int>(select.integer(0)));
        return fail(select);
    });
    return result;
}

} // namespace ordavel::sqlite_journal
