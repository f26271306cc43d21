#include "shop_queue/shop_queue.h"

#include "shop_queue/pool_failover.h"
#include "shop_queue/queued_job_settle.h"

#include "journal/sha256.h"
#include "journal/stored_values.h"
#include "service/service_job_data.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sys/select.h>
#include <unistd.h>

namespace ordavel::service {

using ordavel::EngineError;
using ordavel::postgres_journal::PgParams;
using ordavel::postgres_journal::PgResult;
using ordavel::postgres_journal::textArray;

namespace {

using namespace std::chrono_literals;

// How long a station's printers count as current after it last published
// them: a station that stops publishing (it died) no longer leads a pool.
// Kept in the SQL below as '15 seconds'.
constexpr auto kPublishEvery = 2s;
// Polling when no notification comes.
constexpr auto kPollEvery = 2s;
// A notification's payload must stay under 8,000 bytes; an event is far smaller.
constexpr std::size_t kMaxPayload = 7900;
// Events kept while the database is away, the oldest dropped first.
constexpr std::size_t kMaxOutgoing = 10000;

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

Outcome outcomeNamed(const std::string& name)
{
    for (const Outcome o : {Outcome::Queued, Outcome::Printing, Outcome::Printed, Outcome::Failed, Outcome::Cancelled,
                            Outcome::Expired})
        if (name == outcomeName(o))
            return o;
    return Outcome::Failed;
}

std::string dataSourceOf(const NewJob& job)
{
    return nlohmann::json{
        {"service", {{"token", job.owner}, {"key", job.key}, {"expires", job.expiresSeconds}, {"queue", "shop"}}}}
        .dump();
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string holderName(const std::string& station)
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const auto started = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return station + " pid " + std::to_string(::getpid()) + "@" + host + " " + std::to_string(started);
}

// The columns of a job that a summary shows, for readJob and listSince.
constexpr const char* kSummaryColumns =
    "j.id, j.data_source, j.template_name, j.printer, j.copies, j.created_at, j.repeats, j.reason,"
    " j.template_path, j.template_hash";

JobSummary summaryOf(const PgResult& r, int row)
{
    JobSummary s;
    s.id = r.integer(row, 0);
    const auto data = nlohmann::json::parse(r.text(row, 1), nullptr, false);
    if (data.is_object() && data.contains("service") && data["service"].is_object()) {
        s.owner = data["service"].value("token", "");
        s.key = data["service"].value("key", "");
        s.expiresSeconds = data["service"].value("expires", std::int64_t{0});
    }
    s.templateName = r.text(row, 2);
    s.printer = r.text(row, 3);
    s.copies = static_cast<int>(r.integer(row, 4));
    s.created = static_cast<std::time_t>(r.integer(row, 5));
    s.repeats = r.integer(row, 6);
    s.reason = r.text(row, 7);
    return s;
}

constexpr const char* kUncertain = "有记录交给了已停止的工作站的打印机，是否打印出不确定";

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
            return Submitted{*id, false};
    const std::string bytes = job.templateBytes ? *job.templateBytes : fileBytes(job.templatePath);
    // The service names the target already; a bare name is looked up.
    const std::string target = job.printer.find('/') == std::string::npos ? targetOf(job.printer) : job.printer;
    const JournalJobIn in = journalJobOf(job, bytes, target.empty() ? job.printer : target, dataSourceOf(job));
    JournalResult<JournalJobId> recorded;
    {
        const std::lock_guard lock(m_journalMutex);
        recorded = m_journal->recordJob(in);
    }
    if (recorded.ok())
        return Submitted{recorded.value, true};
    // Another station recorded the same key first: the key names its job.
    if (!job.key.empty())
        if (const auto id = jobOfKey(job.owner, job.key))
            return Submitted{*id, false};
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
    const std::string sql =
        "SELECT printer FROM print_queue WHERE holder = $1 AND state = 'claimed'"
        " UNION SELECT substr(target, length($2) + 2) FROM print_queue"
        "   WHERE state = 'queued' AND left(target, length($2) + 1) = $2 || '/'"
        " UNION SELECT substr(f.first, length($2) + 2) FROM (SELECT DISTINCT (SELECT "
        + firstUsableMember("r.failed_on")
        + " FROM shop_pools p WHERE p.name = r.target) AS first"
          "   FROM print_queue r WHERE r.state = 'queued' AND r.target IN (SELECT name FROM shop_pools)) f"
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
    return transaction([&]() -> EngineError {
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
        // The job is printing; what held it back holds no more.
        return m_db.execute("UPDATE jobs SET outcome = 'printing', reason = '', claimant = $2,"
                            " cups_job_ids = CASE WHEN cups_job_ids = '' THEN $3 ELSE cups_job_ids || ',' || $3 END"
                            " WHERE id = ANY($1::bigint[]) AND outcome IN ('queued', 'printing')",
                            {jobs, m_holder, std::to_string(cupsJob)});
    });
}

void ShopQueue::markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason)
{
    markOutcomes({{job, n}}, outcome, reason);
}

void ShopQueue::markOutcomes(const Refs& records, Outcome outcome, const std::string& reason)
{
    if (records.empty())
        return;
    const std::lock_guard lock(m_dbMutex);
    writeLocked([this, records, outcome, reason] { return outcomesLocked(records, outcome, reason); });
    for (const auto& ref : records)
        m_attempts.erase(ref);
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

bool ShopQueue::outcomesLocked(const Refs& records, Outcome outcome, const std::string& reason)
{
    // Named, not bound: lambdas may not capture structured bindings before clang 16.
    const auto arrays = arraysOf(records);
    const std::string& jobs = arrays.first;
    const std::string& indices = arrays.second;
    return transaction([&]() -> EngineError {
        std::string told = reason;
        if (outcome == Outcome::Failed) {
            std::int64_t moved = 0;
            std::string member;
            if (EngineError e = failOver(m_db, jobs, indices, m_holder, reason, moved, member); e.failed())
                return e;
            if (moved > 0)
                told = member + " 打印失败：" + reason + "；其余记录改由池中的下一台打印机打印";
        }
        if (EngineError e = m_db.execute("UPDATE records r SET outcome = $3, reason = $4"
                                         " FROM unnest($1::bigint[], $2::integer[]) AS w(job_id, idx)"
                                         " WHERE r.job_id = w.job_id AND r.idx = w.idx"
                                         " AND r.outcome IN ('queued', 'printing')",
                                         {jobs, indices, outcomeName(outcome), reason});
            e.failed())
            return e;
        if (isFinal(outcome))
            if (EngineError e = m_db.execute("DELETE FROM print_queue q USING unnest($1::bigint[], $2::integer[])"
                                             " AS w(job_id, idx) WHERE q.job_id = w.job_id AND q.idx = w.idx",
                                             {jobs, indices});
                e.failed())
                return e;
        return settleJobs(records, told);
    });
}

EngineError ShopQueue::settleJobs(const Refs& records, const std::string& reason)
{
    std::vector<std::int64_t> ids;
    for (const auto& ref : records)
        ids.push_back(ref.first);
    return settleQueuedJobs(m_db, numbersOf(ids), reason);
}

void ShopQueue::setReason(std::int64_t job, const std::string& reason)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return;
    m_db.execute("UPDATE jobs SET reason = $2 WHERE id = $1 AND outcome IN ('queued', 'printing') AND reason <> $2",
                 {job, reason});
}

std::optional<JobSummary> ShopQueue::readJob(std::int64_t id)
{
    PgResult job = m_db.run((std::string("SELECT ") + kSummaryColumns
                             + ", (SELECT count(*) FROM print_queue q WHERE q.job_id = j.id AND q.state = 'uncertain')"
                               " FROM jobs j WHERE j.id = $1 AND shop_queue_of(j.program, j.data_source) IS NOT NULL")
                                .c_str(),
                            {id});
    if (!job.ok() || job.rows() == 0)
        return std::nullopt;
    JobSummary s = summaryOf(job, 0);
    PgResult rows = m_db.run("SELECT outcome, cups_job_id, station, printed_on FROM records WHERE job_id = $1 ORDER BY idx",
                             {id});
    if (!rows.ok())
        return std::nullopt;
    for (int row = 0; row < rows.rows(); ++row) {
        Outcome o = outcomeNamed(rows.text(row, 0));
        const int cups = static_cast<int>(rows.integer(row, 1));
        if (!isFinal(o))
            o = cups > 0 ? Outcome::Printing : Outcome::Queued;
        s.records.push_back({row + 1, o, cups, rows.text(row, 2), rows.text(row, 3)});
    }
    settleJob(s);
    if (job.integer(0, 10) > 0 && s.reason.empty())
        s.reason = kUncertain;
    return s;
}

std::optional<JobSummary> ShopQueue::find(std::int64_t id)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return std::nullopt;
    return readJob(id);
}

std::optional<JobSummary> ShopQueue::findByKey(const std::string& owner, const std::string& key)
{
    if (key.empty())
        return std::nullopt;
    const auto id = jobOfKey(owner, key);
    return id ? find(*id) : std::nullopt;
}

std::vector<JobSummary> ShopQueue::listSince(const std::string& owner, std::time_t since)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<JobSummary> out;
    if (m_db.reconnect().failed())
        return out;
    PgResult ids = m_db.run("SELECT id FROM jobs j WHERE created_at >= $2 AND program = 'service'"
                            " AND shop_queue_of(j.program, j.data_source) ->> 'token' = $1 ORDER BY id DESC",
                            {owner, static_cast<std::int64_t>(since)});
    for (int row = 0; row < ids.rows(); ++row)
        if (auto s = readJob(ids.integer(row, 0)))
            out.push_back(std::move(*s));
    return out;
}

std::vector<JobSummary> ShopQueue::unfinished()
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<JobSummary> out;
    if (m_db.reconnect().failed())
        return out;
    // This station's records: claimed ones wait, handed ones are in its
    // spooler when their job is known (else the reconciliation looks for
    // them); and records waiting for one of its own printers.
    PgResult rows = m_db.run(
        "SELECT q.job_id, q.idx, q.state, q.cups_job, CASE WHEN q.state = 'queued' THEN substr(q.target, length($1) + 2)"
        " ELSE q.printer END, j.created_at, j.data_source, j.reason, j.copies"
        " FROM print_queue q JOIN jobs j ON j.id = q.job_id"
        " WHERE (q.station = $1 AND q.state <> 'queued')"
        " OR (q.state = 'queued' AND left(q.target, length($1) + 1) = $1 || '/')"
        " ORDER BY q.job_id, q.idx",
        {m_options.station});
    for (int row = 0; row < rows.rows(); ++row) {
        const std::int64_t id = rows.integer(row, 0);
        if (out.empty() || out.back().id != id) {
            JobSummary s;
            s.id = id;
            s.printer = rows.text(row, 4);
            s.created = static_cast<std::time_t>(rows.integer(row, 5));
            const auto data = nlohmann::json::parse(rows.text(row, 6), nullptr, false);
            if (data.is_object() && data.contains("service") && data["service"].is_object()) {
                s.owner = data["service"].value("token", "");
                s.key = data["service"].value("key", "");
                s.expiresSeconds = data["service"].value("expires", std::int64_t{0});
            }
            s.reason = rows.text(row, 7);
            s.copies = static_cast<int>(rows.integer(row, 8));
            out.push_back(std::move(s));
        }
        const std::string state = rows.text(row, 2);
        const int cups = static_cast<int>(rows.integer(row, 3));
        const bool inSpooler = (state == "handed" || state == "uncertain") && cups > 0;
        out.back().records.push_back({static_cast<int>(rows.integer(row, 1)) + 1,
                                      inSpooler ? Outcome::Printing : Outcome::Queued, inSpooler ? cups : 0, {}, {}});
    }
    for (JobSummary& s : out) {
        const std::string reason = s.reason;
        settleJob(s);
        s.reason = reason;
    }
    return out;
}

std::vector<RecordValues> ShopQueue::recordValues(std::int64_t job)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<RecordValues> out;
    if (m_db.reconnect().failed())
        return out;
    PgResult rows = m_db.run("SELECT columns FROM records WHERE job_id = $1 ORDER BY idx", {job});
    for (int row = 0; row < rows.rows(); ++row) {
        RecordValues values;
        for (const JournalValue& v : journal_detail::valuesFromJson(rows.text(row, 0)))
            values.emplace_back(v.name, v.value);
        out.push_back(std::move(values));
    }
    return out;
}

std::optional<StoredTemplate> ShopQueue::storedTemplate(std::int64_t job)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return std::nullopt;
    PgResult row = m_db.run("SELECT template_path, template_hash FROM jobs WHERE id = $1", {job});
    if (!row.ok() || row.rows() == 0)
        return std::nullopt;
    StoredTemplate source{row.text(0, 0), row.text(0, 1), nullptr};
    source.bytes = bytesOf(source.hash);
    return source;
}

std::size_t ShopQueue::waitingRecords()
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return 0;
    PgResult count = m_db.run("SELECT count(*) FROM print_queue WHERE state IN ('queued', 'claimed')");
    return static_cast<std::size_t>(count.integer(0, 0));
}

void ShopQueue::tidy() {}

void ShopQueue::setWakeUp(std::function<void()> wake)
{
    const std::lock_guard lock(m_stateMutex);
    m_wake = std::move(wake);
}

void ShopQueue::printersSeen(const std::vector<PrinterStatus>& printers)
{
    const std::lock_guard lock(m_stateMutex);
    const auto same = [](const PrinterStatus& a, const PrinterStatus& b) {
        return a.name == b.name && a.state == b.state && a.accepting == b.accepting && a.reason == b.reason;
    };
    if (!m_printersKnown || !std::equal(printers.begin(), printers.end(), m_printers.begin(), m_printers.end(), same))
        m_printersChanged = true;
    m_printers = printers;
    m_printersKnown = true;
}

std::string ShopQueue::targetOf(const std::string& printer)
{
    if (printer.empty())
        return {};
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return {};
    const std::string full = printer.find('/') == std::string::npos ? m_options.station + "/" + printer : printer;
    PgResult known = m_db.run("SELECT (SELECT count(*) FROM shop_pools WHERE name = $1)"
                              " + (SELECT count(*) FROM shop_printers WHERE station || '/' || printer = $2)",
                              {printer, full});
    if (!known.ok())
        return {};
    if (known.integer(0, 0) == 0) {
        // A printer of this station that it has not published yet.
        const std::lock_guard state(m_stateMutex);
        const bool own = std::any_of(m_printers.begin(), m_printers.end(),
                                     [&](const PrinterStatus& p) { return m_options.station + "/" + p.name == full; });
        return own ? full : std::string();
    }
    PgResult pool = m_db.run("SELECT 1 FROM shop_pools WHERE name = $1", {printer});
    return pool.rows() > 0 ? printer : full;
}

std::vector<ShopTarget> ShopQueue::shopTargets()
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<ShopTarget> targets;
    if (m_db.reconnect().failed())
        return targets;
    PgResult printers = m_db.run("SELECT station, printer, CASE WHEN updated > now() - interval '15 seconds' THEN state"
                                 " ELSE 'stopped' END, accepting FROM shop_printers ORDER BY station, printer");
    for (int row = 0; row < printers.rows(); ++row) {
        const std::string station = printers.text(row, 0);
        targets.push_back({station + "/" + printers.text(row, 1), station, printers.text(row, 2),
                           printers.boolean(row, 3), {}});
    }
    PgResult pools = m_db.run(
        ("SELECT p.name, p.members::text, " + firstUsableMember("'{}'") + " IS NOT NULL FROM shop_pools p ORDER BY p.name")
            .c_str());
    for (int row = 0; row < pools.rows(); ++row) {
        ShopTarget pool{pools.text(row, 0), "", pools.boolean(row, 2) ? "idle" : "stopped", pools.boolean(row, 2), {}};
        PgResult members = m_db.run("SELECT unnest(members) FROM shop_pools WHERE name = $1", {pool.name});
        for (int m = 0; m < members.rows(); ++m)
            pool.members.push_back(members.text(m, 0));
        targets.push_back(std::move(pool));
    }
    return targets;
}

void ShopQueue::keepUp()
{
    const std::lock_guard keep(m_keepMutex);
    if (m_keeper.reconnect().failed())
        return;
    m_keeper.execute("UPDATE print_queue SET lease_until = now() + make_interval(secs => $2)"
                     " WHERE holder = $1 AND state IN ('claimed', 'handed') AND lease_until > now()",
                     {m_holder, m_options.leaseSeconds});
    // Any station returns what a lease left behind: claimed rows wait again
    // (and wake their printers), handed ones are in doubt.
    m_keeper.execute("WITH ended AS (UPDATE print_queue SET"
                     " state = CASE WHEN state = 'claimed' THEN 'queued' ELSE 'uncertain' END,"
                     " holder = CASE WHEN state = 'claimed' THEN '' ELSE holder END,"
                     " station = CASE WHEN state = 'claimed' THEN '' ELSE station END,"
                     " printer = CASE WHEN state = 'claimed' THEN '' ELSE printer END"
                     " WHERE state IN ('claimed', 'handed') AND lease_until < now() RETURNING state, target)"
                     " SELECT count(pg_notify('print_queue', target))"
                     " FROM (SELECT DISTINCT target FROM ended WHERE state = 'queued') t");
    std::vector<PrinterStatus> printers;
    {
        const std::lock_guard lock(m_stateMutex);
        // Until the spooler has answered, the printers published last stay.
        if (!m_printersKnown)
            return;
        printers = m_printers;
        m_printersChanged = false;
    }
    std::vector<std::string> names, states, reasons, accepting, stopped;
    for (const PrinterStatus& p : printers) {
        names.push_back(p.name);
        states.push_back(p.state);
        reasons.push_back(p.reason);
        accepting.push_back(p.accepting ? "true" : "false");
        if (p.state == "stopped" || !p.accepting)
            stopped.push_back(p.name);
    }
    m_keeper.execute("INSERT INTO shop_printers(station, printer, state, accepting, reason, updated)"
                     " SELECT $1, n, s, a, r, now()"
                     " FROM unnest($2::text[], $3::text[], $4::boolean[], $5::text[]) AS u(n, s, a, r)"
                     " ON CONFLICT (station, printer) DO UPDATE SET state = excluded.state,"
                     " accepting = excluded.accepting, reason = excluded.reason, updated = excluded.updated",
                     {m_options.station, textArray(names), textArray(states), textArray(accepting), textArray(reasons)});
    m_keeper.execute("DELETE FROM shop_printers WHERE station = $1 AND NOT (printer = ANY($2::text[]))",
                     {m_options.station, textArray(names)});
    // A printer of this station that stopped gives up what it claimed for
    // pools: their next member takes it.
    if (!stopped.empty())
        m_keeper.execute("WITH freed AS (UPDATE print_queue q SET state = 'queued', holder = '', station = '',"
                         " printer = '' WHERE q.holder = $1 AND q.state = 'claimed' AND q.printer = ANY($2::text[])"
                         " AND EXISTS (SELECT 1 FROM shop_pools p WHERE p.name = q.target) RETURNING q.target)"
                         " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM freed) t",
                         {m_holder, textArray(stopped)});
}

// Called under the lock that setWakeUp takes: a dispatcher that stopped
// is never woken after it said so.
void ShopQueue::wakeUp()
{
    const std::lock_guard lock(m_stateMutex);
    if (m_wake)
        m_wake();
}

void ShopQueue::shareEvent(const std::string& owner, const std::string& json)
{
    const std::string payload =
        nlohmann::json{{"from", m_holder}, {"owner", owner}, {"event", nlohmann::json::parse(json, nullptr, false)}}
            .dump();
    if (payload.size() > kMaxPayload)
        return;
    const std::lock_guard lock(m_stateMutex);
    if (m_outgoing.size() >= kMaxOutgoing)
        m_outgoing.pop_front();
    m_outgoing.push_back(payload);
}

void ShopQueue::setEventSink(std::function<void(const std::string&, const std::string&)> sink)
{
    const std::lock_guard lock(m_stateMutex);
    m_eventSink = std::move(sink);
}

void ShopQueue::sendEvents(Db& listener)
{
    std::vector<std::string> payloads;
    {
        const std::lock_guard lock(m_stateMutex);
        payloads.assign(m_outgoing.begin(), m_outgoing.end());
    }
    if (payloads.empty() || listener.reconnect().failed())
        return;
    // One statement for all of them: notifications of one transaction arrive in order.
    if (listener.execute("SELECT count(pg_notify('shop_events', p)) FROM unnest($1::text[]) AS p",
                         {ordavel::postgres_journal::textArray(payloads)})
            .failed())
        return;
    const std::lock_guard lock(m_stateMutex);
    m_outgoing.erase(m_outgoing.begin(),
                     m_outgoing.begin() + static_cast<std::ptrdiff_t>(std::min(payloads.size(), m_outgoing.size())));
}

void ShopQueue::receiveEvent(const std::string& payload)
{
    const auto note = nlohmann::json::parse(payload, nullptr, false);
    if (!note.is_object() || note.value("from", "") == m_holder || !note.contains("event"))
        return;
    const std::lock_guard lock(m_stateMutex);
    if (m_eventSink)
        m_eventSink(note.value("owner", ""), note["event"].dump());
}

void ShopQueue::listen(Db& listener, bool& listening)
{
    if (!listening) {
        if (listener.reconnect().failed() || listener.execute("LISTEN print_queue").failed()
            || listener.execute("LISTEN shop_events").failed())
            return;
        listening = true;
    }
    const int fd = listener.socket();
    if (fd < 0) {
        listening = false;
        return;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval wait{0, 200 * 1000};
    if (::select(fd + 1, &readable, nullptr, nullptr, &wait) <= 0)
        return;
    const auto notes = listener.notifications();
    if (!listener.connected()) {
        listening = false;
        return;
    }
    bool work = false;
    for (const auto& note : notes) {
        if (note.channel == "shop_events")
            receiveEvent(note.payload);
        else
            work = true;
    }
    if (work)
        wakeUp();
}

void ShopQueue::run()
{
    using Clock = std::chrono::steady_clock;
    Db listener;
    listener.connect(m_options.url);
    bool listening = false;
    // Leases are renewed a dozen times within their length, at least every 5 s.
    const auto renewEvery = std::chrono::milliseconds(std::clamp(m_options.leaseSeconds * 1000 / 12, 200, 5000));
    auto keptAt = Clock::time_point{};
    auto polledAt = Clock::now();
    while (!m_stop) {
        listen(listener, listening);
        if (listening)
            sendEvents(listener);
        if (!listening)
            std::this_thread::sleep_for(200ms);
        const auto now = Clock::now();
        bool changed = false;
        {
            const std::lock_guard lock(m_stateMutex);
            changed = m_printersChanged;
        }
        if (now - keptAt >= std::min<Clock::duration>(renewEvery, kPublishEvery) || changed) {
            keptAt = now;
            keepUp();
        }
        if (now - polledAt >= kPollEvery) {
            polledAt = now;
            wakeUp();
        }
    }
}

} // namespace ordavel::service
