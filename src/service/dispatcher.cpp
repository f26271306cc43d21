#include "service/dispatcher.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

namespace ordavel::service {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// How often the scheduler is asked what became of the jobs sent.
constexpr auto kFollowInterval = 200ms;

// CUPS keeps titles of up to 255 bytes; a job is cut short rather than
// carry a title that would be truncated.
constexpr std::size_t kMaxTitle = 200;

constexpr std::string_view kStopped = "打印机已暂停";
constexpr std::string_view kRefusing = "打印机不接受任务";
constexpr std::string_view kHeld = "打印任务在打印队列中被挂起";

std::string waitReason(const PrinterStatus& printer)
{
    std::string reason(printer.state == "stopped" ? kStopped : kRefusing);
    if (!printer.reason.empty())
        reason += "（" + printer.reason + "）";
    return reason;
}

// A reason that only the printer's state gave.
bool isPrinterReason(const std::string& reason)
{
    return reason.rfind(kStopped, 0) == 0 || reason.rfind(kRefusing, 0) == 0;
}

} // namespace

Dispatcher::Dispatcher(JobQueue& queue, PageMaker& pages, EventHub& events, Spooler& spooler)
    : m_queue(queue), m_pages(pages), m_events(events), m_spooler(spooler),
      m_ledger(queue, [this](const RecordRef& record, Outcome outcome,
                             int spoolId) { publishRecord(record.first, record.second, outcome, spoolId); }),
      m_run(m_ledger, m_spooler)
{
}

Dispatcher::~Dispatcher() { stop(); }

void Dispatcher::start()
{
    reconcile();
    refreshPrinters(true);
    // Reasons kept from the last run are looked at again against the printers as they are now.
    for (const std::string& name : m_queue.waitingPrinters())
        m_paused.insert(name);
    m_heldReasons.reset();
    m_queue.setWakeUp([this] { wake(); });
    // Events of this token from the other stations of a shop reach this station's streams.
    m_queue.setEventSink([this](const std::string& owner, const std::string& json) { m_events.publish(owner, json); });
    m_thread = std::thread([this] { run(); });
}

void Dispatcher::stop()
{
    m_stop = true;
    wake();
    if (m_thread.joinable()) {
        m_thread.join();
        m_queue.setWakeUp({});
        m_queue.setEventSink({});
    }
}

void Dispatcher::wake()
{
    {
        const std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

std::vector<PrinterStatus> Dispatcher::printers(const std::string& wanted)
{
    // The dispatcher's thread keeps the list fresh; a request asks CUPS
    // itself only when that thread is long busy, or for a printer not in the
    // list (one just added).
    bool known = wanted.empty();
    {
        const std::lock_guard lock(m_printerMutex);
        for (const PrinterStatus& p : m_printers)
            known = known || p.name == wanted;
        if (known && Clock::now() - m_printersAt < 5s)
            return m_printers;
    }
    refreshPrinters(true);
    const std::lock_guard lock(m_printerMutex);
    return m_printers;
}

void Dispatcher::refreshPrinters(bool force)
{
    {
        const std::lock_guard lock(m_printerMutex);
        if (!force && Clock::now() - m_printersAt < 1s)
            return;
    }
    // A scheduler too busy to answer leaves the list as it was: a printer
    // does not vanish, and jobs for it are not refused, for a missed answer.
    auto fresh = m_spooler.printers();
    if (!fresh)
        return;
    m_queue.printersSeen(*fresh);
    const std::lock_guard lock(m_printerMutex);
    m_printers = std::move(*fresh);
    m_printersAt = Clock::now();
}

// What reached the spooler before the last run ended: records marked sent are
// followed again, and records still queued that a job of ours in the spooler names
// are marked sent with that job instead of being sent twice. A spooler job that
// was cancelled or aborted (the hand-over broken off) printed nothing, so
// its records stay queued and are sent again.
void Dispatcher::reconcile()
{
    adoptSpooled();
    m_queue.reconciled();
}

void Dispatcher::adoptSpooled()
{
    // Each unsent record with its job's printer and creation time, which
    // tell whether a scheduler job of the same title can be this journal's.
    struct Unsent {
        std::string printer;
        std::time_t created = 0;
    };
    std::map<RecordRef, Unsent> unsent;
    {
        const std::lock_guard lock(m_flightMutex);
        for (const JobSummary& job : m_queue.unfinished())
            for (const RecordState& r : job.records) {
                if (r.outcome == Outcome::Printing && r.cupsJob > 0 && r.cupsJob != kNoSpoolJobId)
                    m_run.follower().follow(r.cupsJob, {{job.id, r.n}});
                else if (r.outcome == Outcome::Queued)
                    unsent[{job.id, r.n}] = {job.printer, job.created};
            }
    }
    if (unsent.empty())
        return;
    for (const SpoolJob& entry : m_spooler.jobs(true).value_or(std::vector<SpoolJob>())) {
        if (entry.state == SpoolJobState::Cancelled || entry.state == SpoolJobState::Aborted)
            continue;
        std::vector<RecordRef> adopted;
        for (const RecordRef& ref : recordsOfTitle(entry.title)) {
            const auto it = unsent.find(ref);
            if (it == unsent.end() || !mayBeJobOf(entry, it->second.printer, it->second.created))
                continue;
            unsent.erase(it);
            adopted.push_back(ref);
        }
        if (adopted.empty())
            continue;
        m_queue.markSent(adopted, entry.id);
        const std::lock_guard lock(m_flightMutex);
        m_run.follower().follow(entry.id, adopted);
    }
}

void Dispatcher::run()
{
    while (!m_stop) {
        // New work goes out first, with the printers as last seen; the
        // scheduler's answers on printers and jobs are asked for after.
        bool sent = false;
        std::vector<PrinterStatus> printers;
        {
            const std::lock_guard lock(m_printerMutex);
            printers = m_printers;
        }
        for (const std::string& name : m_queue.waitingPrinters()) {
            if (m_stop)
                break;
            const auto it = std::find_if(printers.begin(), printers.end(),
                                         [&](const PrinterStatus& p) { return p.name == name; });
            if (it == printers.end()) {
                PrinterStatus missing{name, false, "stopped", false, "没有这台打印机"};
                sendFor(missing);
                continue;
            }
            const std::size_t before = inFlight();
            sendFor(*it);
            sent = sent || inFlight() != before;
        }
        follow();
        refreshPrinters(false);
        expire();
        if (sent)
            continue;
        const bool following = inFlight() > 0;
        if (!following)
            m_queue.tidy();
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, following ? kFollowInterval : 500ms, [this] { return m_woken || m_stop.load(); });
        m_woken = false;
    }
}

void Dispatcher::expire()
{
    const auto now = Clock::now();
    if (now - m_expiredAt < 1s)
        return;
    m_expiredAt = now;
    const std::time_t wall = std::time(nullptr);
    for (const JobSummary& job : m_queue.unfinished()) {
        if (job.expiresSeconds <= 0 || wall - job.created < job.expiresSeconds)
            continue;
        std::vector<RecordRef> expired;
        for (const RecordState& r : job.records)
            if (r.outcome == Outcome::Queued)
                expired.emplace_back(job.id, r.n);
        if (expired.empty())
            continue;
        m_queue.markOutcomes(expired, Outcome::Expired, "等待超过了 " + std::to_string(job.expiresSeconds) + " 秒");
        for (const RecordRef& ref : expired)
            publishRecord(ref.first, ref.second, Outcome::Expired, 0);
        announce(job.id);
    }
}

void Dispatcher::sendFor(const PrinterStatus& printer)
{
    const std::lock_guard sending(m_sendMutex);
    const auto now = Clock::now();
    if (printer.state == "stopped" || !printer.accepting) {
        const std::string reason = waitReason(printer);
        m_paused.insert(printer.name);
        for (const JobSummary& job : m_queue.unfinished())
            if (job.printer == printer.name && job.outcome == Outcome::Queued && job.reason != reason) {
                m_queue.setReason(job.id, reason);
                announce(job.id);
            }
        return;
    }
    // Enabled again: no job waits for the printer any more, whether or not
    // its records go out in this round.
    if (m_paused.erase(printer.name) > 0)
        for (const JobSummary& job : m_queue.unfinished())
            if (job.printer == printer.name && job.outcome == Outcome::Queued && isPrinterReason(job.reason)) {
                m_queue.setReason(job.id, {});
                announce(job.id);
            }
    if (const auto until = m_refusedUntil.find(printer.name); until != m_refusedUntil.end() && now < until->second)
        return;
    std::vector<PendingRecord> batch = m_queue.nextToSend(printer.name, kMaxPagesPerJob);
    if (batch.empty())
        return;
    // One template per spooler job, and a title that names every record.
    std::size_t keep = 1;
    std::vector<RecordRef> refs{{batch[0].job, batch[0].n}};
    while (keep < batch.size() && batch[keep].source.hash == batch[0].source.hash) {
        refs.emplace_back(batch[keep].job, batch[keep].n);
        if (jobTitle(refs).size() > kMaxTitle) {
            refs.pop_back();
            break;
        }
        ++keep;
    }
    batch.resize(keep);

    learnOwners(refs);
    m_ledger.setBatch(refs);
    RunPlan plan;
    plan.printer = printer.name;
    plan.items = refs.size();
    QueuePages pages(m_pages, printer.name, batch, m_stop);
    QueueReporter reporter(m_stop);
    const RunResult result = m_run.print(plan, pages, reporter);
    const std::set<std::int64_t> jobs = m_ledger.takeChangedJobs();
    if (result.refused) {
        // Refused (the queue stopped accepting since the last look, or the
        // scheduler is away): the records stay queued and are tried again.
        m_refusedUntil[printer.name] = now + 2s;
        refreshPrinters(true);
        for (const auto job : jobs)
            m_queue.setReason(job, "打印机拒绝了任务（" + result.refusal + "）");
    } else if (result.sent > 0) {
        m_refusedUntil.erase(printer.name);
        for (const auto job : jobs)
            m_queue.setReason(job, {});
    }
    announce(jobs);
}

void Dispatcher::follow()
{
    // Asking costs the scheduler a list of every unfinished job: a few times
    // a second is soon enough to learn that pages printed.
    const auto now = Clock::now();
    if (now - m_followedAt < kFollowInterval)
        return;
    m_followedAt = now;
    std::vector<SpoolJob> entries;
    std::map<int, std::vector<RecordRef>> flight;
    {
        // One question for every unfinished job; only those no longer in it
        // are asked about one by one. The ledger records how each ended.
        const std::lock_guard lock(m_flightMutex);
        if (m_run.follower().empty())
            return;
        (void)m_run.follow(&entries);
        flight = m_run.follower().followed();
    }
    holdReasons(flight, entries);
    announce(m_ledger.takeChangedJobs());
}

void Dispatcher::cancel(std::int64_t job)
{
    // Holding the send lock: no record of the job is being drawn or handed over.
    const std::lock_guard sending(m_sendMutex);
    const auto summary = m_queue.find(job);
    if (!summary)
        return;
    std::set<int> cupsJobs;
    std::vector<RecordRef> unsent;
    for (const RecordState& r : summary->records)
        if (r.outcome == Outcome::Queued)
            unsent.emplace_back(job, r.n);
        else if (r.outcome == Outcome::Printing && r.cupsJob > 0)
            cupsJobs.insert(r.cupsJob);
    m_queue.markOutcomes(unsent, Outcome::Cancelled, "已取消");
    for (const RecordRef& ref : unsent)
        publishRecord(ref.first, ref.second, Outcome::Cancelled, 0);
    // A spooler job is taken back only when it holds this job's records alone;
    // one shared with other jobs prints, and its records end as the spooler reports.
    for (const int cupsJob : cupsJobs) {
        std::vector<RecordRef> refs;
        {
            const std::lock_guard lock(m_flightMutex);
            const auto& followed = m_run.follower().followed();
            const auto it = followed.find(cupsJob);
            if (it == followed.end())
                continue;
            refs = it->second;
        }
        if (std::any_of(refs.begin(), refs.end(), [&](const RecordRef& r) { return r.first != job; }))
            continue;
        if (!m_spooler.cancel(cupsJob))
            continue;
        m_queue.markOutcomes(refs, Outcome::Cancelled, "已取消");
        for (const RecordRef& ref : refs)
            publishRecord(ref.first, ref.second, Outcome::Cancelled, cupsJob);
        const std::lock_guard lock(m_flightMutex);
        (void)m_run.follower().forget(cupsJob);
    }
    announce(job);
}

// Why each job whose records are all in the spooler has not printed yet: its spooler
// job held, or its printer stopped; nothing once either is over. Jobs are
// looked at only when that picture changed (and once after a start, so that
// a reason kept from the last run is made current).
void Dispatcher::holdReasons(const std::map<int, std::vector<RecordRef>>& flight,
                             const std::vector<SpoolJob>& entries)
{
    std::vector<PrinterStatus> printers;
    {
        const std::lock_guard lock(m_printerMutex);
        printers = m_printers;
    }
    std::map<std::int64_t, std::string> reasons;
    for (const SpoolJob& entry : entries) {
        const auto refs = flight.find(entry.id);
        if (refs == flight.end())
            continue;
        std::string reason;
        if (entry.state == SpoolJobState::Held) {
            reason = kHeld;
        } else {
            for (const PrinterStatus& p : printers)
                if (p.name == entry.printer && p.state == "stopped")
                    reason = waitReason(p);
        }
        if (reason.empty())
            continue;
        for (const RecordRef& ref : refs->second)
            reasons.emplace(ref.first, reason);
    }
    if (m_heldReasons && *m_heldReasons == reasons)
        return;
    m_heldReasons = reasons;
    std::set<std::int64_t> changed;
    for (const JobSummary& job : m_queue.unfinished()) {
        if (job.outcome != Outcome::Printing)
            continue;
        const auto it = reasons.find(job.id);
        const std::string reason = it == reasons.end() ? std::string() : it->second;
        // Only a hold this look found ends here; any other reason (a pool's
        // member that failed the job, say) is the job's to keep.
        const bool held = job.reason == kHeld || isPrinterReason(job.reason);
        if (job.reason != reason && (!reason.empty() || held)) {
            m_queue.setReason(job.id, reason);
            changed.insert(job.id);
        }
    }
    announce(changed);
}

std::size_t Dispatcher::inFlight()
{
    const std::lock_guard lock(m_flightMutex);
    return m_run.follower().size();
}

void Dispatcher::publishRecord(std::int64_t job, int n, Outcome outcome, int cupsJob)
{
    std::string owner;
    {
        const std::lock_guard lock(m_ownerMutex);
        if (const auto it = m_owners.find(job); it != m_owners.end())
            owner = it->second;
    }
    if (owner.empty()) {
        const auto summary = m_queue.find(job);
        if (!summary)
            return;
        owner = summary->owner;
        const std::lock_guard lock(m_ownerMutex);
        if (m_owners.size() > 100000)
            m_owners.clear();
        m_owners[job] = owner;
    }
    nlohmann::json event = {{"type", "record"}, {"job", job}, {"n", n}, {"state", outcomeName(outcome)}};
    event["cupsJob"] = cupsJob > 0 && cupsJob != kNoSpoolJobId ? nlohmann::json(cupsJob) : nlohmann::json(nullptr);
    publish(owner, event.dump());
}

void Dispatcher::learnOwners(const std::vector<RecordRef>& records)
{
    std::vector<std::int64_t> unknown;
    {
        const std::lock_guard lock(m_ownerMutex);
        for (const RecordRef& ref : records)
            if (m_owners.count(ref.first) == 0 && std::find(unknown.begin(), unknown.end(), ref.first) == unknown.end())
                unknown.push_back(ref.first);
    }
    if (unknown.empty())
        return;
    const std::vector<JobSummary> found = m_queue.findAll(unknown);
    const std::lock_guard lock(m_ownerMutex);
    if (m_owners.size() > 100000)
        m_owners.clear();
    for (const JobSummary& job : found)
        m_owners[job.id] = job.owner;
}

void Dispatcher::announce(std::int64_t job)
{
    if (const auto summary = m_queue.find(job))
        announce(*summary);
}

void Dispatcher::announce(const std::set<std::int64_t>& jobs)
{
    if (jobs.empty())
        return;
    for (const JobSummary& summary : m_queue.findAll({jobs.begin(), jobs.end()}))
        announce(summary);
}

void Dispatcher::announce(const JobSummary& summary)
{
    int printed = 0;
    for (const auto& r : summary.records)
        printed += r.outcome == Outcome::Printed ? 1 : 0;
    const nlohmann::json event = {{"type", "job"},
                                  {"id", summary.id},
                                  {"key", summary.key},
                                  {"state", outcomeName(summary.outcome)},
                                  {"reason", summary.reason},
                                  {"records", summary.records.size()},
                                  {"printed", printed}};
    publish(summary.owner, event.dump());
}

void Dispatcher::publish(const std::string& owner, const std::string& json)
{
    m_events.publish(owner, json);
    m_queue.shareEvent(owner, json);
}

} // namespace ordavel::service
