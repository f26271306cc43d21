#include "journal/postgres/pg_engine.h"

#include "journal/postgres/pg_search_keys.h"
#include "journal/postgres/pg_values.h"
#include "journal/search_words.h"

#include <algorithm>

namespace ordavel::postgres_journal {

using namespace journal_detail;

namespace {

// A job's name as a search matches it: ASCII letters folded, as in the
// records' search text (lower() folds nothing else under the "C" collation).
std::string folded(const char* column) { return std::string("lower(j.") + column + " COLLATE \"C\")"; }

// The search's words as LIKE patterns for the shop's folded texts.
std::vector<std::string> searchPatterns(const std::string& search)
{
    std::vector<std::string> patterns;
    for (const SearchWord& word : searchWords(search))
        patterns.push_back(foldAscii(wellFormedText(word.like)));
    return patterns;
}

// Whether the trigram index answers `word`: it holds a run of three ASCII
// letters or digits (the only characters the index sees).
bool trigramsAnswer(std::string_view word)
{
    int run = 0;
    for (const char c : word) {
        const bool seen = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        run = seen ? run + 1 : 0;
        if (run == 3)
            return true;
    }
    return false;
}

// The keys a job's records must hold to hold every word, when they are
// what best narrows the search: some word has keys, and no word without
// keys is one the trigram index answers. Otherwise none.
std::vector<std::string> jobKeysOf(const std::string& search)
{
    std::vector<std::string> keys;
    for (const SearchWord& word : searchWords(search)) {
        const std::vector<std::string> own = wordKeys(foldAscii(wellFormedText(word.text)));
        if (own.empty() && trigramsAnswer(word.text))
            return {};
        keys.insert(keys.end(), own.begin(), own.end());
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

// Word `k` (1-based parameter $at) held by a record's text or by its job's names.
std::string heldBy(const std::string& at, bool names, bool text)
{
    std::string condition;
    if (names)
        condition = folded("template_name") + " LIKE " + at + " OR " + folded("printer") + " LIKE " + at;
    if (text)
        condition += std::string(condition.empty() ? "" : " OR ") + "r.search_text LIKE " + at;
    return "(" + condition + ")";
}

// How long a search of the records may take.
constexpr int kSearchTimeoutMs = 20000;

std::string statementTimeout(int ms) { return "SET statement_timeout = " + std::to_string(ms); }

} // namespace

// A job finished printed has every record printed, so only other jobs need
// their records counted.
const char* const kJobColumns =
    "j.id, j.created_at, j.finished_at, j.user_name, j.host, j.program, j.kind, j.printer, j.template_path,"
    " j.template_name, j.template_hash, j.calibration, j.copies, j.data_source, j.repeats, j.outcome, j.reason,"
    " j.claimant, j.cups_job_ids, j.record_count,"
    " CASE WHEN j.outcome = 'printed' THEN j.record_count"
    " ELSE (SELECT count(*) FROM records r WHERE r.job_id = j.id AND r.outcome = 'printed') END, j.resume_offered,"
    " j.station, j.library_revision";

JournalJob jobFromRow(const PgResult& result, int row)
{
    JournalJob job;
    job.id = result.integer(row, 0);
    job.createdAt = result.integer(row, 1);
    job.finishedAt = result.integer(row, 2);
    job.user = result.text(row, 3);
    job.host = result.text(row, 4);
    job.program = result.text(row, 5);
    job.kind = result.text(row, 6);
    job.printer = result.text(row, 7);
    job.templatePath = result.text(row, 8);
    job.templateName = journalTemplateName(result.text(row, 9));
    job.templateHash = result.text(row, 10);
    job.calibration = result.text(row, 11);
    job.copies = static_cast<int>(result.integer(row, 12));
    job.dataSource = result.text(row, 13);
    job.repeats = result.integer(row, 14);
    job.outcome = outcomeNamed(result.text(row, 15)).value_or(JournalOutcome::Failed);
    job.reason = result.text(row, 16);
    job.claimant = result.text(row, 17);
    job.cupsJobIds = splitIds(result.text(row, 18));
    job.recordCount = static_cast<int>(result.integer(row, 19));
    job.printedCount = static_cast<int>(result.integer(row, 20));
    job.resumeOffered = result.boolean(row, 21);
    job.station = result.text(row, 22);
    job.libraryRevision = static_cast<int>(result.integer(row, 23));
    return job;
}

EngineError PgEngine::jobsWhere(const std::string& where, const PgParams& params, const std::string& tail,
                                std::vector<JournalJob>& jobs)
{
    const std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs j WHERE " + where + tail;
    PgResult select = m_connection.run(sql.c_str(), params);
    for (int row = 0; row < select.rows(); ++row)
        jobs.push_back(jobFromRow(select, row));
    return m_connection.failure(select);
}

JournalResult<std::vector<JournalJob>> PgEngine::listJobs(const JournalQuery& query)
{
    JournalResult<std::vector<JournalJob>> result;
    PgParams params;
    const auto next = [&](PgParam value) {
        params.push_back(std::move(value));
        return "$" + std::to_string(params.size());
    };
    std::string where = "true";
    if (query.since)
        where += " AND j.created_at >= " + next(*query.since);
    if (query.until)
        where += " AND j.created_at < " + next(*query.until);
    if (!query.templateName.empty()) {
        const std::string at = next(text(journalTemplateName(query.templateName)));
        where += " AND (j.template_name = " + at + " OR (length(j.template_name) = length(" + at + ") + 4 AND left(j.template_name, length("
                 + at + ")) = " + at + " AND lower(right(j.template_name, 4) COLLATE \"C\") = '.oxf'))";
    }
    if (!query.printer.empty())
        where += " AND j.printer = " + next(text(query.printer));
    if (!query.station.empty())
        where += " AND j.station = " + next(text(query.station));
    if (!query.program.empty())
        where += " AND j.program = " + next(text(query.program));
    if (query.unfinishedOnly)
        where += " AND j.outcome IN ('queued', 'printing')";
    if (query.after > 0)
        where += " AND j.id > " + next(query.after);
    const std::vector<std::string> patterns = searchPatterns(query.search);
    if (!patterns.empty()) {
        // A job is found when one of its records holds every word, a word
        // its template or printer name holds counting as held by each
        // record: records holding them all (what the trigram index answers),
        // or records of the jobs whose names hold one at least. The first
        // gives each job once: the planner keeps a few job ids in memory,
        // where a word in every record would have it read the records again
        // for each job.
        std::vector<std::string> at;
        for (const auto& pattern : patterns)
            at.push_back(next(pattern));
        std::string allInText, anyInNames, eachAnywhere;
        for (std::size_t k = 0; k < at.size(); ++k) {
            allInText += (k > 0 ? " AND " : "") + heldBy(at[k], false, true);
            anyInNames += (k > 0 ? " OR " : "") + heldBy(at[k], true, false);
            eachAnywhere += " AND " + heldBy(at[k], true, true);
        }
        const std::string byNames =
            "((" + anyInNames + ") AND EXISTS (SELECT 1 FROM records r WHERE r.job_id = j.id" + eachAnywhere + "))";
        if (const std::vector<std::string> keys = jobKeysOf(query.search); !keys.empty()) {
            // Words beyond ASCII: only the jobs holding their keys are read,
            // each up to its first record holding every word, so that a word
            // in every record costs a record a job.
            where += " AND ((j.search_keys @> " + next(textArray(keys)) + "::text[] AND EXISTS (SELECT 1 FROM records r"
                     " WHERE r.job_id = j.id AND " + allInText + ")) OR " + byNames + ")";
        } else {
            where += " AND (j.id IN (SELECT DISTINCT r.job_id FROM records r WHERE " + allInText + ") OR " + byNames + ")";
        }
    }
    std::string tail = " ORDER BY j.created_at DESC, j.id DESC";
    if (query.limit > 0)
        tail += " LIMIT " + next(query.limit);
    result.error = read([&]() -> EngineError {
        // A word no index answers is looked for in every record: a search
        // may take longer than a print may wait, and no print waits for it.
        const bool longer = !patterns.empty() && !inTransaction();
        if (longer)
            if (EngineError error = m_connection.execute(statementTimeout(kSearchTimeoutMs).c_str()); error.failed())
                return error;
        EngineError error = jobsWhere(where, params, tail, result.value);
        if (longer)
            if (EngineError reset = m_connection.execute(statementTimeout(kTimeoutSeconds * 1000).c_str());
                !error.failed())
                error = reset;
        return error;
    });
    return result;
}

JournalResult<std::vector<int>> PgEngine::matchingRecords(JournalJobId id, const std::string& search)
{
    JournalResult<std::vector<int>> result;
    PgParams params{id};
    std::string sql = "SELECT r.idx FROM records r JOIN jobs j ON j.id = r.job_id WHERE r.job_id = $1";
    for (const auto& pattern : searchPatterns(search)) {
        params.push_back(pattern);
        sql += " AND " + heldBy("$" + std::to_string(params.size()), true, true);
    }
    sql += " ORDER BY r.idx";
    result.error = read([&] {
        PgResult select = m_connection.run(sql.c_str(), params);
        for (int row = 0; row < select.rows(); ++row)
            result.value.push_back(static_cast<int>(select.integer(row, 0)));
        return m_connection.failure(select);
    });
    return result;
}

} // namespace ordavel::postgres_journal
