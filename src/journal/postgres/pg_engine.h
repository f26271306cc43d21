#pragma once
// The journal of a shop of several stations, in one PostgreSQL database that
// every station writes at once. Counter values are taken in the transaction
// that records the job, the counter's row locked only until its commit, so
// no two stations get one value and none is skipped. A statement waits at
// most kTimeoutSeconds; a connection lost is made again at the next call.

#include "journal/journal_engine.h"
#include "journal/postgres/pg_connection.h"

#include <memory>
#include <string>
#include <vector>

namespace ordavel::postgres_journal {

class PgEngine final : public JournalEngine {
public:
    static Journal::Opened open(const std::string& url, const std::string& station,
                                std::unique_ptr<JournalEngine>& engine);

    const std::string& location() const override { return m_connection.name(); }
    int schemaVersion() const override { return m_version; }
    std::string takeNotice() override { return {}; }
    bool isCurrent() const override { return m_connection.connected(); }

    JournalResult<JournalJobId> recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                          const std::function<void(JournalJobId)>& staged) override;
    // The server keeps its indexes as it writes: nothing is left to tidy.
    std::string awaitCommit() override { return m_connection.settle().message; }
    std::string indexSearch() override { return {}; }
    std::string tidyWhenDue(std::int64_t, int) override { return {}; }
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
    std::string joinStation(const std::string& name) override;
    JournalResult<std::vector<JournalStation>> stations() override;
    std::string station() const override { return m_station; }
    JournalResult<bool> markUploaded(JournalJobId localId) override;
    JournalResult<JournalJobId> lastUploaded() override;
    JournalResult<int> recordUploads(const std::vector<JournalUpload>& uploads) override;
    JournalResult<LibraryRevision> publishTemplate(const std::string& name, const std::string& bytes,
                                                   const std::string& note) override;
    JournalResult<std::vector<LibraryRevision>> libraryTemplates() override;
    JournalResult<std::optional<LibraryTemplate>> libraryTemplate(const std::string& name, int revision) override;

protected:
    EngineError beginOutermost() override;
    EngineError commitOutermost() override;
    EngineError rollbackOutermost() override;
    EngineError savepoint(int depth) override;
    EngineError releaseSavepoint(int depth) override;
    EngineError rollbackToSavepoint(int depth) override;

private:
    PgEngine() = default;

    // Runs `work` in one transaction: its own, or a savepoint of the one open.
    template <typename Work>
    std::string write(Work&& work)
    {
        JournalTransaction transaction(*this, TransactionScope::AllOrNothing);
        EngineError error = transaction.opening();
        if (!error.failed())
            error = work();
        return transaction.finish(error).message;
    }
    // Runs `work` (reads), connecting again first when the server went away.
    template <typename Work>
    std::string read(Work&& work)
    {
        if (!inTransaction())
            if (EngineError error = m_connection.reconnect(); error.failed())
                return error.message;
        return work().message;
    }

    EngineError takeCounters(const std::vector<std::string>& names, std::vector<CounterValue>& values);
    EngineError takeCounterBlocks(const std::vector<JournalRecordIn>& records,
                                  std::vector<std::vector<CounterValue>>& values);
    EngineError addSearchKeys(JournalJobId id, std::string_view search);
    // The hash of `bytes`, stored in the shop's templates unless it holds them already.
    EngineError storeTemplate(const std::string& bytes, JournalTime at, std::string& hash);
    EngineError giveCountersBack(JournalJobId id, int firstIndex, int lastIndex);
    EngineError jobsWhere(const std::string& where, const PgParams& params, const std::string& tail,
                          std::vector<JournalJob>& jobs);

    mutable PgConnection m_connection;
    int m_version = 0;
    std::string m_station; // the station whose jobs it records
    // The last template hashed, so that printing one template again does not hash it again.
    std::string m_lastTemplate;
    std::string m_lastTemplateHash;
};

} // namespace ordavel::postgres_journal
