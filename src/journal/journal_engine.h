#pragma once
// What Journal stands in front of: the storage of one kind of database (the
// user's SQLite file, a shop's PostgreSQL server). Journal holds the lock
// that orders its callers and decides which thread a transaction belongs
// to; an engine's calls run with that lock held, one at a time, and never
// call one another through Journal. Callbacks an engine is handed (a
// record filler, a refill, `staged`) run under the lock too: they must not
// call the journal.

#include "journal/journal.h"

#include <string>
#include <vector>

namespace ordavel {

// A failure of one step: the engine's own code (0: none) and what it says.
struct EngineError {
    int code = 0;
    std::string message;
    bool failed() const { return code != 0; }
};

// What a failure within a transaction does to it.
enum class TransactionScope {
    AllOrNothing, // any write within that fails undoes every one (a call's writes, inOneTransaction)
    EachAlone,    // a write within that fails is undone alone (batch)
};

class JournalTransaction;

class JournalEngine {
public:
    virtual ~JournalEngine() = default;

    virtual const std::string& location() const = 0;
    virtual int schemaVersion() const = 0;
    virtual std::string takeNotice() = 0;
    virtual bool isCurrent() const = 0;

    virtual JournalResult<JournalJobId> recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                                  const std::function<void(JournalJobId)>& staged) = 0;
    // The commit a recordJob with commitLater left going; engines that commit at once have none.
    virtual std::string awaitCommit() { return {}; }
    virtual std::string indexSearch() = 0;
    virtual std::string tidyWhenDue(std::int64_t backlog, int logPages) = 0;
    virtual std::string setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields) = 0;
    virtual std::string markResumeOffered(JournalJobId id) = 0;
    virtual JournalResult<bool> claimJob(JournalJobId id, const std::string& claimant) = 0;
    virtual std::string markPrinting(JournalJobId id) = 0;
    virtual std::string addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex) = 0;
    virtual std::string setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places) = 0;
    virtual std::string setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                         const std::string& reason) = 0;
    virtual std::string finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason) = 0;
    virtual JournalResult<int> expireQueued(JournalTime before, const std::string& reason) = 0;
    virtual std::string retakeCounters(JournalJobId id, const std::vector<int>& indices,
                                       const Journal::JournalRefill& refill) = 0;

    virtual JournalResult<std::vector<JournalJob>> listJobs(const JournalQuery& query) = 0;
    virtual JournalResult<std::vector<int>> matchingRecords(JournalJobId id, const std::string& search) = 0;
    virtual JournalResult<std::int64_t> changeCount() = 0;
    virtual JournalResult<std::optional<JournalJob>> job(JournalJobId id) = 0;
    virtual JournalResult<std::vector<JournalRecord>> records(JournalJobId id) = 0;
    virtual JournalResult<int> countUnfinished(const std::string& program) = 0;
    virtual JournalResult<std::optional<std::string>> templateBytes(const std::string& hash) = 0;
    virtual JournalResult<std::int64_t> nextCounterValue(const std::string& name) = 0;
    virtual std::string setNextCounterValue(const std::string& name, std::int64_t next) = 0;
    virtual JournalResult<std::vector<CounterValue>> counters() = 0;
    virtual JournalResult<int> pruneBefore(JournalTime before) = 0;
    virtual JournalResult<JournalStats> stats() = 0;
    // A shop's stations; an engine of one station's journal has none.
    virtual std::string joinStation(const std::string& name)
    {
        (void)name;
        return "a station's own journal has no stations";
    }
    virtual JournalResult<std::vector<JournalStation>> stations() { return {}; }
    virtual std::string station() const { return {}; }
    virtual JournalResult<bool> markUploaded(JournalJobId localId)
    {
        (void)localId;
        return {false, "a station's own journal takes no uploads"};
    }
    virtual JournalResult<JournalJobId> lastUploaded() { return {0, "a station's own journal takes no uploads"}; }
    virtual JournalResult<int> recordUploads(const std::vector<JournalUpload>& uploads)
    {
        (void)uploads;
        return {0, "a station's own journal takes no uploads"};
    }
    // A shop's template library; an engine of one station's journal has none.
    virtual JournalResult<LibraryRevision> publishTemplate(const std::string& name, const std::string& bytes,
                                                           const std::string& note)
    {
        (void)name, (void)bytes, (void)note;
        return {{}, kNoLibrary};
    }
    virtual JournalResult<std::vector<LibraryRevision>> libraryTemplates() { return {{}, kNoLibrary}; }
    virtual JournalResult<std::optional<LibraryTemplate>> libraryTemplate(const std::string& name, int revision)
    {
        (void)name, (void)revision;
        return {{}, kNoLibrary};
    }
    static constexpr const char* kNoLibrary = "a station's own journal has no template library";

    // Whether a transaction is open (its writes join it).
    bool inTransaction() const { return !m_scopes.empty(); }

protected:
    // The database's own statements for JournalTransaction. `depth` names
    // a savepoint: 1 for the first within the outermost transaction.
    virtual EngineError beginOutermost() = 0;
    virtual EngineError commitOutermost() = 0;
    virtual EngineError rollbackOutermost() = 0;
    virtual EngineError savepoint(int depth) = 0;
    virtual EngineError releaseSavepoint(int depth) = 0;
    virtual EngineError rollbackToSavepoint(int depth) = 0;

private:
    friend class JournalTransaction;
    struct Scope {
        TransactionScope kind;
        EngineError failure; // the first write within that failed, for an all-or-nothing scope
    };
    std::vector<Scope> m_scopes;
};

// The one transaction type of the journal: the outermost one is a database
// transaction, one opened within it a savepoint. finish() commits it (or
// releases the savepoint) unless its work or, for an all-or-nothing scope,
// any write within failed; then it is undone, and an all-or-nothing scope
// around it learns of the failure. Left unfinished, it is undone.
class JournalTransaction {
public:
    JournalTransaction(JournalEngine& engine, TransactionScope scope);
    ~JournalTransaction();
    JournalTransaction(const JournalTransaction&) = delete;
    JournalTransaction& operator=(const JournalTransaction&) = delete;

    // Why it could not be opened; nothing is to be written then.
    const EngineError& opening() const { return m_opening; }
    bool outermost() const { return m_depth == 0; }
    // Ends it with the outcome of its work; the error that undid it, if any.
    EngineError finish(EngineError outcome);

private:
    void undo();

    JournalEngine& m_engine;
    int m_depth = 0;
    EngineError m_opening;
    bool m_open = false;
};

namespace journal_detail {

// This process's user and machine, asked once: a print should not wait for them.
const std::string& userName();
const std::string& hostName();
// The claimant a job printed by this process records.
std::string runningHere();
JournalTime now();

} // namespace journal_detail

} // namespace ordavel
