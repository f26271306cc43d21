#pragma once
// The journal in one SQLite file per user, shared by every program of the
// user at once: WAL, full synchronous commits, a short wait on a lock held
// by another process. A file that is not a database or is damaged is set
// aside under a new name when it is opened or when a write meets the
// damage, and a fresh journal is started; takeNotice says so once.

#include "journal/journal_engine.h"
#include "journal/journal_system.h"
#include "journal/search_words.h"
#include "journal/sqlite/sqlite_statement.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ordavel::sqlite_journal {

// A lock held by another program is waited for this long, then the journal
// gives up and the print goes ahead without it.
constexpr int kBusyTimeoutMs = 1500;

class SqliteEngine final : public JournalEngine {
public:
    // Opens (creating) the file at `path` and brings its schema forward;
    // a damaged file is set aside first (opened.setAside names it).
    static Journal::Opened open(const std::string& path, std::unique_ptr<JournalEngine>& engine);

    ~SqliteEngine() override;

    const std::string& location() const override { return m_path; }
    int schemaVersion() const override { return m_version; }
    std::string takeNotice() override;
    bool isCurrent() const override;

    JournalResult<JournalJobId> recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                          const std::function<void(JournalJobId)>& staged) override;
    std::string indexSearch() override;
    std::string tidyWhenDue(std::int64_t backlog, int logPages) override;
    std::string setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields) override;
    std::string markResumeOffered(JournalJobId id) override;
    JournalResult<bool> claimJob(JournalJobId id, const std::string& claimant) override;
    std::string markPrinting(JournalJobId id) override;
    std::string addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex) override;
    std::string setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places) override;
    std::string setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                 const std::string& reason) override;
    std::string finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason) override;
    JournalResult<int> expireQueued(JournalTime before, const std::string& reason) override;
    std::string retakeCounters(JournalJobId id, const std::vector<int>& indices,
                               const Journal::JournalRefill& refill) override;

    JournalResult<std::vector<JournalJob>> listJobs(const JournalQuery& query) override;
    JournalResult<std::vector<int>> matchingRecords(JournalJobId id, const std::string& search) override;
    JournalResult<std::int64_t> changeCount() override;
    JournalResult<std::optional<JournalJob>> job(JournalJobId id) override;
    JournalResult<std::vector<JournalRecord>> records(JournalJobId id) override;
    JournalResult<int> countUnfinished(const std::string& program) override;
    JournalResult<std::optional<std::string>> templateBytes(const std::string& hash) override;
    JournalResult<std::int64_t> nextCounterValue(const std::string& name) override;
    std::string setNextCounterValue(const std::string& name, std::int64_t next) override;
    JournalResult<std::vector<CounterValue>> counters() override;
    JournalResult<int> pruneBefore(JournalTime before) override;
    JournalResult<JournalStats> stats() override;

protected:
    EngineError beginOutermost() override { return exec(m_db, "BEGIN IMMEDIATE"); }
    EngineError commitOutermost() override { return exec(m_db, "COMMIT"); }
    EngineError rollbackOutermost() override { return exec(m_db, "ROLLBACK"); }
    EngineError savepoint(int depth) override;
    EngineError releaseSavepoint(int depth) override;
    EngineError rollbackToSavepoint(int depth) override;

private:
    SqliteEngine() = default;

    DbError connect();
    void close();
    // Moves a damaged file (with its WAL) aside; its new name, or empty
    // when it could not be moved.
    std::string setAside();
    // After damage met by a write: set aside, reopen, and note it once.
    bool recover(const DbError& error);
    static int walHook(void* engine, sqlite3* db, const char* name, int pages);

    // Runs `work` in one transaction: its own, or a savepoint of the one
    // open. Damage met by an outermost one sets the file aside (when
    // `mayRecover`) and runs it once more on the fresh journal.
    template <typename Work>
    std::string write(Work&& work, bool mayRecover = true);
    // Runs `work` when the connection is open; its error's message.
    template <typename Work>
    std::string read(Work&& work) const
    {
        if (m_db == nullptr)
            return "the journal is not open";
        return work().message;
    }

    Statement kept(const char* sql) const { return Statement(m_statements, m_db, sql); }
    DbError fail(const Statement& statement) const { return errorOf(m_db, statement.code()); }

    // Search (sqlite_search.cpp).
    DbError indexSearchChunk();
    void indexBeforeSearch();
    DbError jobsMatching(const std::string& pattern, bool prefix, std::string& json) const;
    DbError recordsHolding(const std::vector<journal_detail::SearchWord>& words, std::uint32_t needed,
                           const std::vector<JournalJobId>* among, std::set<JournalJobId>& found) const;
    DbError jobsSearched(const std::vector<journal_detail::SearchWord>& words, std::string& json) const;

    // Counters (sqlite_records.cpp).
    DbError takeCounters(const std::vector<std::string>& names, std::vector<CounterValue>& values);
    DbError takeCounterBlocks(const std::vector<JournalRecordIn>& records, std::vector<std::vector<CounterValue>>& values);

    std::string m_path;
    sqlite3* m_db = nullptr;
    int m_version = 0;
    std::string m_notice;
    mutable StatementCache m_statements;
    // The file opened, to tell when another program moved it away.
    std::optional<journal_system::FileIdentity> m_identity;
    // The last template hashed, so that printing one template again does not hash it again.
    std::string m_lastTemplate;
    std::string m_lastTemplateHash;
    // Pages in the write-ahead log after the last commit (walHook).
    int m_logPages = 0;
};

template <typename Work>
std::string SqliteEngine::write(Work&& work, bool mayRecover)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_db == nullptr)
            return "the journal is not open";
        JournalTransaction transaction(*this, TransactionScope::AllOrNothing);
        DbError error = transaction.opening();
        if (!error.failed())
            error = work();
        error = transaction.finish(error);
        if (!error.failed())
            return {};
        if (attempt == 0 && mayRecover && transaction.outermost() && recover(error))
            continue;
        return error.message;
    }
    return "the journal could not be written";
}

// The job of a row of kJobColumns.
JournalJob jobFrom(const Statement& row);

} // namespace ordavel::sqlite_journal
