#include "shop_queue/shop_queue.h"

#include "shop_queue/pool_failover.h"
#include "shop_queue/queued_targets.h"
#include "shop_queue/station_process.h"

#include "journal/postgres/pg_print_queue.h"
#include "journal/sha256.h"
#include "journal/stored_values.h"
#include "service/service_job_data.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

namespace ordavel::service {

using ordavel::EngineError;
using ordavel::postgres_journal::PgParams;
using ordavel::postgres_journal::PgResult;
using ordavel::postgres_journal::textArray;

namespace {

using namespace std::chrono_literals;

template <typename Number>
std::string numbersOf(const std::vector<Number>& items)
{
    std::string array = "{";
    for (const Number item : items) {
        if (array.size() > 1)
            array += ',';
        array += std::to_string(item);
    }
    return array + "}";
}

// The jobs and record indices (0-based) of records, as two arrays.
std::pair<std::string, std::string> arraysOf(const std::vector<std::pair<std::int64_t, int>>& records)
{
    std::vector<std::int64_t> jobs;
    std::vector<int> indices;
    for (const auto& [job, n] : records) {
        jobs.push_back(job);
        indices.push_back(n - 1);
    }
    return {numbersOf(jobs), numbersOf(indices)};
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The end of a job's reason when a pool's member failed it and its records
// went on to the next member.
const char* const kMovedOnTail = "；未打印的记录改由池中的下一台打印机打印";

} // namespace

std::unique_ptr<ShopQueue> ShopQueue::open(const ShopQueueOptions& options, std::string& error)
{
    std::unique_ptr<ShopQueue> queue(new ShopQueue(options));
    Journal::Opened opened = Journal::openShop(options.url, options.station);
    if (!opened.journal) {
        error = opened.error;
        return nullptr;
    }
    queue->m_journal = std::move(opened.journal);
    for (Db* db : {&queue->m_db, &queue->m_keeper})
        if (const EngineError failed = db->connect(options.url); failed.failed()) {
            error = failed.message;
            return nullptr;
        }
    if (error = queue->takeBack(); !error.empty())
        return nullptr;
    queue->m_thread = std::thread([q = queue.get()] { q->run(); });
    return queue;
}

ShopQueue::ShopQueue(ShopQueueOptions options)
    : m_options(std::move(options)), m_holder(holderName(m_options.station))
{
}

ShopQueue::~ShopQueue()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    // What this run claimed and did not hand over is free for others at once.
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return;
    m_db.execute("WITH freed AS (UPDATE print_queue SET state = 'queued', holder = '', station = '', printer = ''"
                 " WHERE holder = $1 AND state = 'claimed' RETURNING target)"
                 " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM freed) t",
                 {m_holder});
}

template <typename Work>
bool ShopQueue::transaction(Work&& work)
{
    if (m_db.reconnect().failed() || m_db.execute("BEGIN").failed())
        return false;
    if (const EngineError error = work(); error.failed()) {
        m_db.execute("ROLLBACK");
        return false;
    }
    return !m_db.execute("COMMIT").failed();
}

// The rows an earlier run of this station held: what it only claimed waits
// again; what it may have handed over is this run's to reconcile.
std::string ShopQueue::takeBack()
{
    const std::lock_guard lock(m_dbMutex);
    std::string error;
    const bool done = transaction([&]() -> EngineError {
        if (EngineError e = m_db.execute("UPDATE print_queue SET state = 'queued', holder = '', station = '', printer = ''"
                                         " WHERE station = $1 AND state = 'claimed' AND holder <> $2",
                                         {m_options.station, m_holder});
            e.failed()) {
            error = e.message;
            return e;
        }
        EngineError e = m_db.execute("UPDATE print_queue SET state = 'handed', holder = $2,"
                                     " lease_until = now() + make_interval(secs => $3)"
                                     " WHERE station = $1 AND state IN ('handed', 'uncertain') AND holder <> $2",
                                     {m_options.station, m_holder, m_options.leaseSeconds});
        if (e.failed())
            error = e.message;
        return e;
    });
    return done ? std::string() : (error.empty() ? std::string("the shop's queue cannot be written") : error);
}

std::optional<std::int64_t> ShopQueue::jobOfKey(const std::string& owner, const std::string& key)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return std::nullopt;
    PgResult found = m_db.run("SELECT job_id FROM service_keys WHERE owner = $1 AND key = $2", {owner, key});
    if (!found.ok() || found.rows() == 0)
        return std::nullopt;
    return found.integer(0, 0);
}

std::optional<Submitted> ShopQueue::submit(const NewJob& job, std::string& error)
{
    if (!job.key.empty())
        if (const auto id = jobOfKey(job.owner, job.key))
            return Submitted{*id, false, {}};
    const std::string bytes = job.templateBytes ? *job.templateBytes : fileBytes(job.templatePath);
    // The service names the target already; a bare name is looked up.
    const std::string target = job.printer.find('/') == std::string::npos ? targetOf(job.printer) : job.printer;
    JournalJobIn in = journalJobOf(job, bytes, target.empty() ? job.printer : target, true);
    in.createdAt = journal_detail::now();
    JournalResult<JournalJobId> recorded;
    {
        const std::lock_guard lock(m_journalMutex);
        recorded = m_journal->recordJob(in);
    }
    if (recorded.ok()) {
        m_takenSinceCount += job.records.size();
        // The job as committed, every record queued: the service announces
        // and answers it without reading it back.
        JobSummary s;
        s.id = recorded.value;
        s.owner = job.owner;
        s.key = job.key;
        s.templateName = in.templateName;
        s.printer = in.printer;
        s.copies = in.copies;
        s.created = static_cast<std::time_t>(in.createdAt);
        s.expiresSeconds = job.expiresSeconds;
        s.repeats = job.repeats;
        for (std::size_t i = 0; i < job.records.size(); ++i)
            s.records.push_back({static_cast<int>(i) + 1, Outcome::Queued, 0, {}, {}});
        settleJob(s);
        return Submitted{recorded.value, true, std::move(s)};
    }
    // Another station recorded the same key first: the key names its job.
    if (!job.key.empty())
        if (const auto id = jobOfKey(job.owner, job.key))
            return Submitted{*id, false, {}};
    error = recorded.error;
    return std::nullopt;
}

std::vector<PendingRecord> ShopQueue::nextToSend(const std::string& printer, int maxPages)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<PendingRecord> out;
    if (m_db.reconnect().failed())
        return out;
    const int limit = std::max(1, maxPages);
    // What this run claimed and has not handed over goes first; new claims
    // fill the rest, in the order the jobs were accepted.
    PgResult held = m_db.run("SELECT count(*) FROM print_queue WHERE holder = $1 AND state = 'claimed' AND printer = $2",
                             {m_holder, printer});
    if (!held.ok())
        return out;
    if (const std::int64_t more = limit - held.integer(0, 0); more > 0) {
        // A pool's row goes to the first usable member that has not failed its job.
        const std::string claim =
            "UPDATE print_queue q SET state = 'claimed', holder = $1, station = $2, printer = $3,"
            " attempt = q.attempt + 1, lease_until = now() + make_interval(secs => $5)"
            " FROM (SELECT r.job_id, r.idx FROM print_queue r WHERE r.state = 'queued' AND (r.target = $2 || '/' || $3"
            "   OR (r.target IN (SELECT name FROM shop_pools) AND (SELECT "
            + firstUsableMember("r.failed_on")
            + " FROM shop_pools p WHERE p.name = r.target) = $2 || '/' || $3))"
              "   ORDER BY r.job_id, r.idx LIMIT $4 FOR UPDATE SKIP LOCKED) w"
              " WHERE q.job_id = w.job_id AND q.idx = w.idx";
        m_db.execute(claim.c_str(), {m_holder, m_options.station, printer, more, m_options.leaseSeconds});
    }
    PgResult rows = m_db.run("SELECT q.job_id, q.idx, q.attempt, j.template_path, j.template_hash, j.copies, r.columns"
                             " FROM print_queue q JOIN jobs j ON j.id = q.job_id"
                             " JOIN records r ON r.job_id = q.job_id AND r.idx = q.idx"
                             " WHERE q.holder = $1 AND q.state = 'claimed' AND q.printer = $2"
                             " ORDER BY q.job_id, q.idx LIMIT $3",
                             {m_holder, printer, limit});
    if (!rows.ok())
        return out;
    int pages = 0;
    for (int row = 0; row < rows.rows(); ++row) {
        const int copies = static_cast<int>(rows.integer(row, 5));
        if (!out.empty() && pages + copies > maxPages)
            break;
        PendingRecord record;
        record.job = rows.integer(row, 0);
        record.n = static_cast<int>(rows.integer(row, 1)) + 1;
        record.copies = copies;
        record.source.path = rows.text(row, 3);
        record.source.hash = rows.text(row, 4);
        record.source.bytes = bytesOf(record.source.hash);
        for (const JournalValue& v : journal_detail::valuesFromJson(rows.text(row, 6)))
            record.values.emplace_back(v.name, v.value);
        m_attempts[{record.job, record.n}] = static_cast<int>(rows.integer(row, 2));
        pages += copies;
        out.push_back(std::move(record));
    }
    return out;
}

std::shared_ptr<const std::string> ShopQueue::bytesOf(const std::string& hash)
{
    if (const auto it = m_bytes.find(hash); it != m_bytes.end())
        if (auto held = it->second.lock())
            return held;
    JournalResult<std::optional<std::string>> bytes;
    {
        const std::lock_guard lock(m_journalMutex);
        bytes = m_journal->templateBytes(hash);
    }
    if (!bytes.ok() || !bytes.value)
        return nullptr;
    auto held = std::make_shared<const std::string>(std::move(*bytes.value));
    m_bytes[hash] = held;
    if (m_bytes.size() > 64)
        for (auto it = m_bytes.begin(); it != m_bytes.end();)
            it = it->second.expired() ? m_bytes.erase(it) : std::next(it);
    return held;
}

std::vector<std::string> ShopQueue::waitingPrinters()
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<std::string> printers;
    if (m_db.reconnect().failed() || !flushLocked())
        return printers;
    // The queued rows are looked at per target; a pool's per target and the
    // members that failed its job, where its first usable member is found.
    const std::string sql =
        std::string("WITH RECURSIVE ") + kQueuedTargets
        + " SELECT printer FROM print_queue WHERE holder = $1 AND state = 'claimed'"
          " UNION SELECT substr(target, length($2) + 2) FROM targets WHERE left(target, length($2) + 1) = $2 || '/'"
          " UNION SELECT substr(f.first, length($2) + 2) FROM (SELECT (SELECT "
        + firstUsableMember("r.failed_on")
        + " FROM shop_pools p WHERE p.name = r.target) AS first"
          "   FROM (SELECT DISTINCT target, failed_on FROM print_queue WHERE state = 'queued'"
          "     AND target IN (SELECT t.target FROM targets t JOIN shop_pools s ON s.name = t.target)) r) f"
          "   WHERE left(f.first, length($2) + 1) = $2 || '/'";
    PgResult rows = m_db.run(sql.c_str(), {m_holder, m_options.station});
    for (int row = 0; row < rows.rows(); ++row)
        printers.push_back(rows.text(row, 0));
    std::sort(printers.begin(), printers.end());
    return printers;
}

bool ShopQueue::mayHandOver(const Refs& records)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<std::int64_t> jobs;
    std::vector<int> indices, attempts;
    for (const auto& ref : records) {
        const auto it = m_attempts.find(ref);
        if (it == m_attempts.end())
            return false;
        jobs.push_back(ref.first);
        indices.push_back(ref.second - 1);
        attempts.push_back(it->second);
    }
    bool all = false;
    transaction([&]() -> EngineError {
        PgResult handed = m_db.run(
            "UPDATE print_queue q SET state = 'handed', lease_until = now() + make_interval(secs => $5)"
            " FROM unnest($1::bigint[], $2::integer[], $3::integer[]) AS w(job_id, idx, attempt)"
            " WHERE q.job_id = w.job_id AND q.idx = w.idx AND q.attempt = w.attempt AND q.holder = $4"
            " AND q.state = 'claimed' AND q.lease_until > clock_timestamp()",
            {numbersOf(jobs), numbersOf(indices), numbersOf(attempts), m_holder, m_options.leaseSeconds});
        if (EngineError error = m_db.failure(handed); error.failed())
            return error;
        all = handed.changed() == static_cast<std::int64_t>(records.size());
        // Fenced: one record taken over and none of them is handed over.
        return all ? EngineError{} : EngineError{1, "taken over"};
    });
    if (!all) {
        for (const auto& ref : records)
            m_attempts.erase(ref);
        return false;
    }
    return true;
}

void ShopQueue::handOverRefused(const Refs& records)
{
    const std::lock_guard lock(m_dbMutex);
    // Named, not bound: lambdas may not capture structured bindings before clang 16.
    const auto arrays = arraysOf(records);
    const std::string& jobs = arrays.first;
    const std::string& indices = arrays.second;
    // The spooler refused them: a pool's next member takes them and the
    // rest of their job; a station's own printer gets them again.
    transaction([&]() -> EngineError {
        std::int64_t moved = 0;
        std::string member;
        const std::string reason = "打印队列拒收了打印任务";
        if (EngineError e = failOver(m_db, jobs, indices, m_holder, reason, moved, member); e.failed())
            return e;
        if (EngineError e = m_db.execute(
                "WITH freed AS (UPDATE print_queue q SET state = 'queued', holder = '', station = '', printer = ''"
                " FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                " WHERE q.job_id = w.job_id AND q.idx = w.idx AND q.holder = $3 AND q.state = 'handed'"
                " AND q.cups_job = 0 RETURNING q.target)"
                " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM freed) t",
                {jobs, indices, m_holder});
            e.failed())
            return e;
        if (member.empty())
            return {};
        if (EngineError e = failWhereNoMemberIsLeft(m_db, jobs, reason); e.failed())
            return e;
        return settleJobs(records, "");
    });
    for (const auto& ref : records)
        m_attempts.erase(ref);
}

void ShopQueue::reconciled()
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return;
    // Handed over by the last run with no spooler job found: they never reached it.
    m_db.execute("WITH freed AS (UPDATE print_queue SET state = 'queued', holder = '', station = '', printer = ''"
                 " WHERE holder = $1 AND state = 'handed' AND cups_job = 0 RETURNING target)"
                 " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM freed) t",
                 {m_holder});
}

void ShopQueue::markSent(const Refs& records, int cupsJob)
{
    const std::lock_guard lock(m_dbMutex);
    writeLocked([this, records, cupsJob] { return sentLocked(records, cupsJob); });
}

bool ShopQueue::sentLocked(const Refs& records, int cupsJob)
{
    // Named, not bound: lambdas may not capture structured bindings before clang 16.
    const auto arrays = arraysOf(records);
    const std::string& jobs = arrays.first;
    const std::string& indices = arrays.second;
    const bool done = transaction([&]() -> EngineError {
        if (EngineError e = m_db.execute(
                "UPDATE print_queue q SET state = CASE WHEN q.state = 'uncertain' THEN 'uncertain' ELSE 'handed' END,"
                " cups_job = $3 FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                " WHERE q.job_id = w.job_id AND q.idx = w.idx AND q.station = $4",
                {jobs, indices, cupsJob, m_options.station});
            e.failed())
            return e;
        if (EngineError e = m_db.execute(
                "UPDATE records r SET cups_job_id = $3, outcome = 'printing', station = $4, printed_on = q.printer"
                " FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                " JOIN print_queue q ON q.job_id = w.job_id AND q.idx = w.idx"
                " WHERE r.job_id = w.job_id AND r.idx = w.idx AND r.outcome IN ('queued', 'printing')",
                {jobs, indices, cupsJob, m_options.station});
            e.failed())
            return e;
        // The job is printing; what held it back holds no more. That a pool's
        // member failed it stays told until the job ends.
        return m_db.execute("UPDATE jobs SET outcome = 'printing', claimant = $2,"
                            " reason = CASE WHEN right(reason, char_length($4)) = $4 THEN reason ELSE '' END,"
                            " cups_job_ids = CASE WHEN cups_job_ids = '' THEN $3 ELSE cups_job_ids || ',' || $3 END"
                            " WHERE id = ANY($1::bigint[]) AND outcome IN ('queued', 'printing')",
                            {jobs, m_holder, std::to_string(cupsJob), std::string(kMovedOnTail)});
    });
    if (done) {
        if (m_reasonCleared.size() > 4096)
            m_reasonCleared.clear();
        for (const auto& ref : records)
            m_reasonCleared.insert(ref.first);
    }
    return done;
}

void ShopQueue::markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason)
{
    (void)markOutcomes({{job, n}}, outcome, reason);
}

ShopQueue::Refs ShopQueue::markOutcomes(const Refs& records, Outcome outcome, const std::string& reason)
{
    if (records.empty())
        return {};
    const std::lock_guard lock(m_dbMutex);
    // Shared with a write kept for later, which fills it when no one reads it any more.
    const auto queuedAgain = std::make_shared<Refs>();
    writeLocked([this, records, outcome, reason, queuedAgain] {
        return outcomesLocked(records, outcome, reason, *queuedAgain);
    });
    for (const auto& ref : records)
        m_attempts.erase(ref);
    return *queuedAgain;
}

// A write the database did not take waits, in order, and goes before any
// later one: what the spooler said of a record is never lost to a moment
// without the database.
void ShopQueue::writeLocked(std::function<bool()> write)
{
    if (!flushLocked() || !write())
        m_unwritten.push_back(std::move(write));
}

bool ShopQueue::flushLocked()
{
    while (!m_unwritten.empty() && m_unwritten.front()())
        m_unwritten.pop_front();
    return m_unwritten.empty();
}

bool ShopQueue::outcomesLocked(const Refs& records, Outcome outcome, const std::string& reason, Refs& queuedAgain)
{
    queuedAgain.clear();
    const bool written = transaction([&]() -> EngineError {
        std::string told = reason;
        Refs ended = records;
        if (outcome == Outcome::Failed) {
            const auto all = arraysOf(records);
            std::int64_t moved = 0;
            std::string member;
            if (EngineError e = failOver(m_db, all.first, all.second, m_holder, reason, moved, member); e.failed())
                return e;
            // The spooler ended these records' job in error, so they did not
            // print: a pool's records wait for its next member with the rest
            // of their job, rather than end failed while a member is left.
            // (Posted to one printer, a record fails for good.)
            const std::string movedOn = member + " 打印失败：" + reason + kMovedOnTail;
            PgResult again = m_db.run(
                "WITH again AS (UPDATE print_queue q SET state = 'queued', holder = '', station = '', printer = '',"
                "   cups_job = 0, lease_until = NULL FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                "   WHERE q.job_id = w.job_id AND q.idx = w.idx AND q.holder = $3 AND EXISTS (SELECT 1 FROM shop_pools p"
                "     WHERE p.name = q.target AND NOT p.members <@ q.failed_on) RETURNING q.job_id, q.idx, q.target),"
                " reset AS (UPDATE records r SET outcome = 'queued', cups_job_id = 0, station = '', printed_on = '',"
                "   reason = $4 FROM again WHERE r.job_id = again.job_id AND r.idx = again.idx RETURNING r.job_id)"
                " SELECT job_id, idx, (SELECT count(*) FROM reset),"
                " (SELECT count(pg_notify('print_queue', t)) FROM (SELECT DISTINCT target AS t FROM again) d) FROM again",
                {all.first, all.second, m_holder, movedOn});
            if (EngineError e = m_db.failure(again); e.failed())
                return e;
            for (int row = 0; row < again.rows(); ++row) {
                const std::pair<std::int64_t, int> ref{again.integer(row, 0), static_cast<int>(again.integer(row, 1)) + 1};
                ended.erase(std::remove(ended.begin(), ended.end(), ref), ended.end());
                queuedAgain.push_back(ref);
            }
            if (moved > 0 || again.rows() > 0)
                told = movedOn;
        }
        // Named, not bound: lambdas may not capture structured bindings before clang 16.
        const auto arrays = arraysOf(ended);
        const std::string& jobs = arrays.first;
        const std::string& indices = arrays.second;
        if (EngineError e = m_db.execute("UPDATE records r SET outcome = $3, reason = $4"
                                         " FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                                         " WHERE r.job_id = w.job_id AND r.idx = w.idx"
                                         " AND r.outcome IN ('queued', 'printing')",
                                         {jobs, indices, outcomeName(outcome), reason});
            e.failed())
            return e;
        if (isFinal(outcome)) {
            if (EngineError e = m_db.execute("DELETE FROM print_queue q USING unnest($1::bigint[], $2::integer[])"
                                             " AS w(job_id, idx) WHERE q.job_id = w.job_id AND q.idx = w.idx",
                                             {jobs, indices});
                e.failed())
                return e;
            m_endedSinceVacuum += ended.size();
        }
        return settleJobs(records, told);
    });
    if (!written)
        queuedAgain.clear();
    return written;
}

EngineError ShopQueue::settleJobs(const Refs& records, const std::string& reason)
{
    std::vector<std::int64_t> ids;
    for (const auto& ref : records)
        ids.push_back(ref.first);
    return ordavel::postgres_journal::settleQueuedJobs(m_db, numbersOf(ids), reason);
}

void ShopQueue::setReason(std::int64_t job, const std::string& reason)
{
    const std::lock_guard lock(m_dbMutex);
    // Marking its records sent just cleared the job's reason: clearing it
    // again, as the dispatcher does after each hand-over, would only cost a
    // statement.
    if (m_reasonCleared.erase(job) > 0 && reason.empty())
        return;
    if (m_db.reconnect().failed())
        return;
    m_db.execute("UPDATE jobs SET reason = $2 WHERE id = $1 AND outcome IN ('queued', 'printing') AND reason <> $2",
                 {job, reason});
}

} // namespace ordavel::service
