#include "journal/journal.h"

#include "journal/journal_engine.h"
#include "journal/journal_system.h"
#include "journal/sqlite/sqlite_engine.h"
#if ORDAVEL_POSTGRES
#include "journal/postgres/pg_engine.h"
#include "journal/postgres/pg_schema.h"
#endif

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace ordavel {

namespace {

namespace fs = std::filesystem;

// Journal paths are UTF-8; built from char8_t they name the same file on every system.
fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string offMarkerOf(const std::string& path) { return path + ".off"; }

} // namespace

struct Journal::State {
    // Held by every call: a print may write its job from a worker thread
    // while the window asks the same connection something.
    std::mutex mutex;
    // The thread whose inOneTransaction or batch is open: its calls join
    // that transaction, other threads' wait for its end (`idle`).
    std::thread::id owner;
    std::condition_variable idle;
    std::unique_ptr<JournalEngine> engine;

    std::unique_lock<std::mutex> enter()
    {
        std::unique_lock lock(mutex);
        const std::thread::id self = std::this_thread::get_id();
        idle.wait(lock, [&] { return owner == std::thread::id() || owner == self; });
        return lock;
    }

    // Runs `work` in a transaction of `scope` that the calling thread owns.
    // The lock is let go while `work` runs, so that its calls of this
    // journal take it again; other threads' calls wait until it ends.
    std::string runOwned(std::unique_lock<std::mutex>& lock, TransactionScope scope,
                         const std::function<std::string()>& work)
    {
        JournalTransaction transaction(*engine, scope);
        if (transaction.opening().failed())
            return transaction.opening().message;
        const bool outer = owner == std::thread::id();
        owner = std::this_thread::get_id();
        const auto release = [&] {
            if (outer) {
                owner = std::thread::id();
                idle.notify_all();
            }
        };
        std::string error;
        try {
            lock.unlock();
            error = work();
            lock.lock();
        } catch (...) {
            lock.lock();
            release(); // the transaction is undone as it goes, the lock still held
            throw;
        }
        error = transaction.finish(error.empty() ? EngineError{} : EngineError{1, error}).message;
        release();
        return error;
    }
};

Journal::Journal(std::unique_ptr<State> state) : m_state(std::move(state)) {}
Journal::~Journal() = default;

std::string Journal::defaultPath() { return journal_system::defaultJournalPath(); }

Journal::Opened Journal::open(const std::string& path)
{
    auto state = std::make_unique<State>();
    Opened opened = sqlite_journal::SqliteEngine::open(path, state->engine);
    if (state->engine)
        opened.journal.reset(new Journal(std::move(state)));
    return opened;
}

Journal::Opened Journal::openShop(const std::string& url, const std::string& station)
{
#if ORDAVEL_POSTGRES
    auto state = std::make_unique<State>();
    Opened opened = postgres_journal::PgEngine::open(url, station, state->engine);
    if (state->engine)
        opened.journal.reset(new Journal(std::move(state)));
    return opened;
#else
    (void)url;
    (void)station;
    return {nullptr, "this build of the program cannot reach a shop's database (no PostgreSQL)", {}};
#endif
}

JournalResult<int> initShopJournal(const std::string& url)
{
#if ORDAVEL_POSTGRES
    return postgres_journal::initSchema(url);
#else
    (void)url;
    return {0, "this build of the program cannot reach a shop's database (no PostgreSQL)"};
#endif
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

const std::string& Journal::path() const { return m_state->engine->location(); }
int Journal::schemaVersion() const { return m_state->engine->schemaVersion(); }

std::string Journal::takeNotice()
{
    const auto hold = m_state->enter();
    return m_state->engine->takeNotice();
}

JournalResult<JournalJobId> Journal::recordJob(const JournalJobIn& job, const JournalRecordFiller& fill,
                                               const std::function<void(JournalJobId)>& staged)
{
    const auto hold = m_state->enter();
    if (job.records.empty())
        return {0, "a job needs at least one record"};
    return m_state->engine->recordJob(job, fill, staged);
}

std::string Journal::awaitCommit()
{
    const auto hold = m_state->enter();
    return m_state->engine->awaitCommit();
}

std::string Journal::indexSearch()
{
    const auto hold = m_state->enter();
    return m_state->engine->indexSearch();
}

std::string Journal::tidyWhenDue(std::int64_t backlog, int logPages)
{
    const auto hold = m_state->enter();
    return m_state->engine->tidyWhenDue(backlog, logPages);
}

std::string Journal::inOneTransaction(const std::function<std::string()>& work)
{
    auto lock = m_state->enter();
    return m_state->runOwned(lock, TransactionScope::AllOrNothing, work);
}

std::string Journal::batch(const std::function<void()>& calls)
{
    auto lock = m_state->enter();
    if (m_state->engine->inTransaction()) {
        // Within another batch or inOneTransaction of this thread: its calls join that one.
        lock.unlock();
        calls();
        return {};
    }
    return m_state->runOwned(lock, TransactionScope::EachAlone, [&] {
        calls();
        return std::string();
    });
}

std::string Journal::setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields)
{
    const auto hold = m_state->enter();
    return m_state->engine->setRecordFields(id, fields);
}

std::string Journal::markResumeOffered(JournalJobId id)
{
    const auto hold = m_state->enter();
    return m_state->engine->markResumeOffered(id);
}

bool Journal::isCurrent() const
{
    const auto hold = m_state->enter();
    return m_state->engine->isCurrent();
}

JournalResult<bool> Journal::claimJob(JournalJobId id, const std::string& claimant)
{
    const auto hold = m_state->enter();
    return m_state->engine->claimJob(id, claimant);
}

std::string Journal::markPrinting(JournalJobId id)
{
    const auto hold = m_state->enter();
    return m_state->engine->markPrinting(id);
}

std::string Journal::addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex)
{
    const auto hold = m_state->enter();
    return m_state->engine->addCupsJob(id, cupsJobId, firstIndex, lastIndex);
}

std::string Journal::setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places)
{
    const auto hold = m_state->enter();
    return m_state->engine->setRecordPlaces(id, places);
}

std::string Journal::setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                      const std::string& reason)
{
    const auto hold = m_state->enter();
    return m_state->engine->setRecordOutcome(id, firstIndex, lastIndex, outcome, reason);
}

std::string Journal::finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason)
{
    const auto hold = m_state->enter();
    return m_state->engine->finishJob(id, outcome, reason);
}

JournalResult<int> Journal::expireQueued(JournalTime before, const std::string& reason)
{
    const auto hold = m_state->enter();
    return m_state->engine->expireQueued(before, reason);
}

std::string Journal::retakeCounters(JournalJobId id, const std::vector<int>& indices, const JournalRefill& refill)
{
    const auto hold = m_state->enter();
    return m_state->engine->retakeCounters(id, indices, refill);
}

JournalResult<std::vector<JournalJob>> Journal::listJobs(const JournalQuery& query) const
{
    const auto hold = m_state->enter();
    return m_state->engine->listJobs(query);
}

JournalResult<std::vector<int>> Journal::matchingRecords(JournalJobId id, const std::string& search) const
{
    const auto hold = m_state->enter();
    return m_state->engine->matchingRecords(id, search);
}

JournalResult<std::int64_t> Journal::changeCount() const
{
    const auto hold = m_state->enter();
    return m_state->engine->changeCount();
}

JournalResult<std::optional<JournalJob>> Journal::job(JournalJobId id) const
{
    const auto hold = m_state->enter();
    return m_state->engine->job(id);
}

JournalResult<std::vector<JournalRecord>> Journal::records(JournalJobId id) const
{
    const auto hold = m_state->enter();
    return m_state->engine->records(id);
}

JournalResult<std::vector<JournalJob>> Journal::unfinishedJobs(const std::string& program) const
{
    const auto hold = m_state->enter();
    JournalQuery query;
    query.unfinishedOnly = true;
    query.program = program;
    JournalResult<std::vector<JournalJob>> result = m_state->engine->listJobs(query);
    std::reverse(result.value.begin(), result.value.end());
    return result;
}

JournalResult<int> Journal::countUnfinished(const std::string& program) const
{
    const auto hold = m_state->enter();
    return m_state->engine->countUnfinished(program);
}

JournalResult<std::optional<std::string>> Journal::templateBytes(const std::string& hash) const
{
    const auto hold = m_state->enter();
    return m_state->engine->templateBytes(hash);
}

JournalResult<std::int64_t> Journal::nextCounterValue(const std::string& name) const
{
    const auto hold = m_state->enter();
    return m_state->engine->nextCounterValue(name);
}

std::string Journal::setNextCounterValue(const std::string& name, std::int64_t next)
{
    const auto hold = m_state->enter();
    return m_state->engine->setNextCounterValue(name, next);
}

JournalResult<std::vector<CounterValue>> Journal::counters() const
{
    const auto hold = m_state->enter();
    return m_state->engine->counters();
}

JournalResult<int> Journal::pruneBefore(JournalTime before)
{
    const auto hold = m_state->enter();
    return m_state->engine->pruneBefore(before);
}

JournalResult<JournalStats> Journal::stats() const
{
    const auto hold = m_state->enter();
    return m_state->engine->stats();
}

std::string Journal::joinStation(const std::string& name)
{
    const auto hold = m_state->enter();
    return m_state->engine->joinStation(name);
}

JournalResult<bool> Journal::markUploaded(JournalJobId localId)
{
    const auto hold = m_state->enter();
    return m_state->engine->markUploaded(localId);
}

JournalResult<int> Journal::recordUploads(const std::vector<JournalUpload>& uploads)
{
    const auto hold = m_state->enter();
    return m_state->engine->recordUploads(uploads);
}

JournalResult<JournalJobId> Journal::lastUploaded() const
{
    const auto hold = m_state->enter();
    return m_state->engine->lastUploaded();
}

std::string Journal::station() const
{
    const auto hold = m_state->enter();
    return m_state->engine->station();
}

JournalResult<std::vector<JournalStation>> Journal::stations() const
{
    const auto hold = m_state->enter();
    return m_state->engine->stations();
}

JournalResult<LibraryRevision> Journal::publishTemplate(const std::string& name, const std::string& bytes,
                                                        const std::string& note)
{
    const auto hold = m_state->enter();
    return m_state->engine->publishTemplate(name, bytes, note);
}

JournalResult<std::vector<LibraryRevision>> Journal::libraryTemplates() const
{
    const auto hold = m_state->enter();
    return m_state->engine->libraryTemplates();
}

JournalResult<std::optional<LibraryTemplate>> Journal::libraryTemplate(const std::string& name, int revision) const
{
    const auto hold = m_state->enter();
    return m_state->engine->libraryTemplate(name, revision);
}

} // namespace ordavel
