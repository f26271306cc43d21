#include "service/journal_queue.h"

#include "service/service_job_data.h"
#include "shop/users_journal.h"

#include "journal/journal_system.h"
#include "journal/sha256.h"

#include <fstream>
#include <iterator>
#include <set>

namespace ordavel::service {

namespace {

// "pid N@host", as the other print paths name themselves: a journal command
// meeting a job of a service that still runs leaves it to the service.
const std::string& claimant()
{
    static const std::string name =
        "pid " + std::to_string(journal_system::processId()) + "@" + journal_system::hostName();
    return name;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::unique_ptr<JournalQueue> JournalQueue::open(const std::string& path, std::string& error)
{
    Journal::Opened opened = openUsersJournal(path);
    if (!opened.journal) {
        error = opened.error;
        return nullptr;
    }
    std::unique_ptr<JournalQueue> queue(new JournalQueue(std::move(opened.journal)));
    queue->load();
    return queue;
}

JournalQueue::JournalQueue(std::unique_ptr<Journal> journal)
    : m_journal(std::move(journal)), m_station(m_journal->station())
{
}

std::string JournalQueue::takeNotice()
{
    const std::lock_guard lock(m_mutex);
    return m_journal->takeNotice();
}

std::shared_ptr<const std::string> JournalQueue::shared(const std::string& hash,
                                                       std::shared_ptr<const std::string> bytes)
{
    auto& slot = m_bytes[hash];
    if (auto held = slot.lock())
        return held;
    auto held = std::move(bytes);
    slot = held;
    // Forget the hashes no job holds any more.
    if (m_bytes.size() > 64)
        for (auto it = m_bytes.begin(); it != m_bytes.end();)
            it = it->second.expired() ? m_bytes.erase(it) : std::next(it);
    return held;
}

std::shared_ptr<const std::string> JournalQueue::storedBytes(const std::string& hash)
{
    if (hash.empty())
        return nullptr;
    if (const auto it = m_bytes.find(hash); it != m_bytes.end())
        if (auto held = it->second.lock())
            return held;
    const auto bytes = m_journal->templateBytes(hash);
    if (!bytes.ok() || !bytes.value)
        return nullptr;
    return shared(hash, std::make_shared<const std::string>(std::move(*bytes.value)));
}

// A job as the service shows it, read back from the journal.
std::optional<JournalQueue::Entry> JournalQueue::read(std::int64_t id, bool withBytes)
{
    const auto job = m_journal->job(id);
    // In a shop, another station's jobs are that station's service's.
    if (!job.ok() || !job.value || job.value->program != "service" || job.value->station != m_station)
        return std::nullopt;
    const auto data = serviceDataOf(job.value->dataSource);
    if (!data)
        return std::nullopt;
    const auto records = m_journal->records(id);
    if (!records.ok())
        return std::nullopt;
    Entry entry;
    JobSummary& s = entry.summary;
    s.id = id;
    s.owner = data->owner;
    s.key = data->key;
    s.expiresSeconds = data->expires;
    s.templateName = job.value->templateName;
    s.printer = job.value->printer;
    s.copies = job.value->copies;
    s.created = static_cast<std::time_t>(job.value->createdAt);
    s.repeats = job.value->repeats;
    s.reason = job.value->reason;
    entry.source.path = job.value->templatePath;
    entry.source.hash = job.value->templateHash;
    if (withBytes)
        entry.source.bytes = storedBytes(entry.source.hash);
    entry.claimed = job.value->outcome != JournalOutcome::Queued;
    for (const JournalRecord& r : records.value) {
        RecordState state;
        state.n = r.index + 1;
        state.cupsJob = r.cupsJobId;
        state.outcome = outcomeFromJournal(r.outcome);
        // Claimed jobs mark every record printing; only those with a CUPS job went out.
        if (!isFinal(state.outcome))
            state.outcome = r.cupsJobId > 0 ? Outcome::Printing : Outcome::Queued;
        s.records.push_back(state);
        RecordValues values;
        for (const JournalValue& v : r.columns)
            values.emplace_back(v.name, v.value);
        entry.values.push_back(std::move(values));
    }
    settleJob(s);
    return entry;
}

void JournalQueue::load()
{
    const std::lock_guard lock(m_mutex);
    JournalQuery everything;
    everything.program = "service";
    everything.station = m_station;
    if (const auto jobs = m_journal->listJobs(everything); jobs.ok())
        for (const JournalJob& job : jobs.value)
            if (const auto data = serviceDataOf(job.dataSource); data && !data->key.empty())
                m_keys.emplace(std::make_pair(data->owner, data->key), job.id);
    if (const auto open = m_journal->unfinishedJobs("service"); open.ok())
        for (const JournalJob& job : open.value)
            if (auto entry = job.station == m_station ? read(job.id, true) : std::optional<Entry>()) {
                for (const auto& r : entry->summary.records)
                    m_waiting += isFinal(r.outcome) ? 0 : 1;
                m_open.emplace(job.id, std::move(*entry));
            }
}

// Submissions that arrive together share one commit: whoever finds no
// commit under way writes every submission waiting, its own among them, and
// answers the others. Each caller still returns only once its job is on disk.
std::optional<Submitted> JournalQueue::submit(const NewJob& job, std::string& error)
{
    Pending mine;
    mine.job = &job;
    mine.bytes = job.templateBytes ? job.templateBytes : std::make_shared<const std::string>(fileBytes(job.templatePath));
    mine.hash = sha256Hex(*mine.bytes);
    mine.in = journalJobOf(job, *mine.bytes, job.printer, false);

    std::unique_lock group(m_groupMutex);
    m_group.push_back(&mine);
    while (!mine.done) {
        if (m_committing) {
            m_groupDone.wait(group);
            continue;
        }
        m_committing = true;
        std::vector<Pending*> batch;
        batch.swap(m_group);
        group.unlock();
        commit(batch);
        group.lock();
        m_committing = false;
        m_groupDone.notify_all();
    }
    error = mine.error;
    return mine.result;
}

void JournalQueue::commit(const std::vector<Pending*>& batch)
{
    const std::lock_guard lock(m_mutex);
    // A key used before, or earlier in this batch, names that job.
    std::map<std::pair<std::string, std::string>, Pending*> keyed;
    std::vector<std::pair<Pending*, Pending*>> repeats; // a submission and the one whose key it repeats
    const std::string failed = m_journal->batch([&] {
        for (Pending* p : batch) {
            const NewJob& job = *p->job;
            if (!job.key.empty()) {
                if (const auto it = m_keys.find({job.owner, job.key}); it != m_keys.end()) {
                    p->result = Submitted{it->second, false, {}};
                    continue;
                }
                if (const auto it = keyed.find({job.owner, job.key}); it != keyed.end()) {
                    repeats.emplace_back(p, it->second);
                    continue;
                }
            }
            // The time the journal keeps is the time the job shows: a clock
            // read again later may be a second on, and "since" its own
            // creation would then miss the job.
            p->in.createdAt = static_cast<JournalTime>(std::time(nullptr));
            const auto recorded = m_journal->recordJob(p->in);
            if (!recorded.ok()) {
                p->error = recorded.error;
                continue;
            }
            p->id = recorded.value;
            if (!job.key.empty())
                keyed[{job.owner, job.key}] = p;
        }
    });
    for (Pending* p : batch) {
        if (p->id == 0)
            continue;
        if (!failed.empty()) {
            p->error = failed;
            continue;
        }
        const NewJob& job = *p->job;
        Entry entry;
        JobSummary& s = entry.summary;
        s.id = p->id;
        s.owner = job.owner;
        s.key = job.key;
        s.templateName = job.templateName;
        s.printer = job.printer;
        s.copies = job.copies;
        s.created = static_cast<std::time_t>(p->in.createdAt);
        s.expiresSeconds = job.expiresSeconds;
        s.repeats = job.repeats;
        for (std::size_t i = 0; i < job.records.size(); ++i)
            s.records.push_back({static_cast<int>(i) + 1, Outcome::Queued, 0, {}, {}});
        entry.source.path = job.templatePath;
        entry.source.hash = p->hash;
        entry.source.bytes = shared(p->hash, p->bytes);
        entry.values = job.records;
        m_waiting += job.records.size();
        if (!job.key.empty())
            m_keys[{job.owner, job.key}] = s.id;
        m_open.emplace(s.id, std::move(entry));
        p->result = Submitted{p->id, true, {}};
    }
    for (auto& [p, first] : repeats) {
        if (first->result)
            p->result = Submitted{first->id, false, {}};
        else
            p->error = first->error;
    }
    for (Pending* p : batch)
        p->done = true;
}

std::vector<PendingRecord> JournalQueue::nextToSend(const std::string& printer, int maxPages)
{
    const std::lock_guard lock(m_mutex);
    std::vector<PendingRecord> out;
    int pages = 0;
    for (auto it = m_open.begin(); it != m_open.end();) {
        const auto& [id, entry] = *it;
        if (entry.summary.printer != printer || entry.summary.outcome != Outcome::Queued) {
            ++it;
            continue;
        }
        // The job is taken before any of it is drawn: one that another
        // process took meanwhile (a journal command resuming it) is theirs
        // to print, and leaves this queue.
        if (!it->second.claimed) {
            const auto claimed = m_journal->claimJob(id, claimant());
            if (!claimed.ok()) {
                ++it;
                continue;
            }
            if (!claimed.value) {
                for (const auto& r : entry.summary.records)
                    m_waiting -= isFinal(r.outcome) ? 0 : 1;
                it = m_open.erase(it);
                continue;
            }
            it->second.claimed = true;
        }
        for (const auto& r : entry.summary.records) {
            if (r.outcome != Outcome::Queued)
                continue;
            if (!out.empty() && pages + entry.summary.copies > maxPages)
                return out;
            out.push_back({id, r.n, entry.source, entry.summary.copies,
                           entry.values[static_cast<std::size_t>(r.n - 1)]});
            pages += entry.summary.copies;
        }
        ++it;
    }
    return out;
}

std::vector<std::string> JournalQueue::waitingPrinters()
{
    const std::lock_guard lock(m_mutex);
    std::set<std::string> printers;
    for (const auto& [id, entry] : m_open)
        if (entry.summary.outcome == Outcome::Queued)
            printers.insert(entry.summary.printer);
    return {printers.begin(), printers.end()};
}

void JournalQueue::markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob)
{
    const std::lock_guard lock(m_mutex);
    // One commit for the whole CUPS job, within it one write per run of
    // consecutive records of one job.
    Writes writes;
    {
        std::size_t i = 0;
        while (i < records.size()) {
            std::size_t j = i;
            while (j + 1 < records.size() && records[j + 1].first == records[i].first
                   && records[j + 1].second == records[j].second + 1)
                ++j;
            const std::int64_t id = records[i].first;
            const auto it = m_open.find(id);
            if (it != m_open.end()) {
                Entry& entry = it->second;
                const int first = records[i].second - 1;
                const int last = records[j].second - 1;
                writes.push_back([this, id, cupsJob, first, last] { return m_journal->addCupsJob(id, cupsJob, first, last); });
                for (std::size_t k = i; k <= j; ++k) {
                    RecordState& r = entry.summary.records[static_cast<std::size_t>(records[k].second - 1)];
                    if (r.outcome == Outcome::Queued) {
                        r.outcome = Outcome::Printing;
                        r.cupsJob = cupsJob;
                    }
                }
                settleJob(entry.summary);
                // Records reached the printer: what held the job back holds no more.
                if (!entry.summary.reason.empty()) {
                    entry.summary.reason.clear();
                    writes.push_back([this, id] { return m_journal->finishJob(id, JournalOutcome::Printing, {}); });
                }
            }
            i = j + 1;
        }
    }
    writeLocked(std::move(writes));
}

void JournalQueue::markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason)
{
    const std::lock_guard lock(m_mutex);
    Writes writes;
    markOutcomeLocked(job, n, outcome, reason, writes);
    writeLocked(std::move(writes));
}

std::vector<std::pair<std::int64_t, int>> JournalQueue::markOutcomes(
    const std::vector<std::pair<std::int64_t, int>>& records, Outcome outcome, const std::string& reason)
{
    const std::lock_guard lock(m_mutex);
    Writes writes;
    for (const auto& [job, n] : records)
        markOutcomeLocked(job, n, outcome, reason, writes);
    writeLocked(std::move(writes));
    // A station's own queue has no pool: every record takes its outcome.
    return {};
}

void JournalQueue::markOutcomeLocked(std::int64_t job, int n, Outcome outcome, const std::string& reason,
                                     Writes& writes)
{
    const auto it = m_open.find(job);
    if (it == m_open.end() || n < 1 || n > static_cast<int>(it->second.summary.records.size()))
        return;
    JobSummary& s = it->second.summary;
    RecordState& r = s.records[static_cast<std::size_t>(n - 1)];
    if (isFinal(r.outcome))
        return;
    writes.push_back([this, job, n, outcome, reason] {
        return m_journal->setRecordOutcome(job, n - 1, n - 1, journalOutcomeOf(outcome), reason);
    });
    r.outcome = outcome;
    if (isFinal(outcome))
        --m_waiting;
    if (!reason.empty())
        s.reason = reason;
    settleJob(s);
    if (isFinal(s.outcome)) {
        const JournalOutcome ended = journalOutcomeOf(s.outcome);
        const std::string why = s.outcome == Outcome::Printed ? std::string() : s.reason;
        writes.push_back([this, job, ended, why] { return m_journal->finishJob(job, ended, why); });
        m_ended[job] = s; // shown as it ended until the journal has it
        m_open.erase(it);
    }
}

void JournalQueue::setReason(std::int64_t job, const std::string& reason)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_open.find(job);
    if (it == m_open.end() || it->second.summary.reason == reason)
        return;
    it->second.summary.reason = reason;
    // The job's outcome in the journal stays as it is; only the reason
    // changes. A job still queued here is read and written in one
    // transaction, so that a claim by another process meanwhile is never
    // written over: that job is theirs, and leaves this queue.
    const bool claimed = it->second.claimed;
    auto taken = std::make_shared<bool>(false);
    writeLocked({[this, job, claimed, reason, taken] {
        return m_journal->inOneTransaction([&] {
            if (!claimed) {
                const auto now = m_journal->job(job);
                *taken = now.ok() && now.value && now.value->outcome != JournalOutcome::Queued;
                if (*taken)
                    return std::string();
            }
            return m_journal->finishJob(job, claimed ? JournalOutcome::Printing : JournalOutcome::Queued, reason);
        });
    }});
    if (*taken) {
        for (const auto& r : it->second.summary.records)
            m_waiting -= isFinal(r.outcome) ? 0 : 1;
        m_open.erase(it);
    }
}

std::optional<JobSummary> JournalQueue::find(std::int64_t id)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_open.find(id); it != m_open.end())
        return it->second.summary;
    if (const auto it = m_ended.find(id); it != m_ended.end())
        return it->second;
    if (auto entry = read(id, false))
        return entry->summary;
    return std::nullopt;
}

std::optional<JobSummary> JournalQueue::findByKey(const std::string& owner, const std::string& key)
{
    std::int64_t id = 0;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_keys.find({owner, key});
        if (key.empty() || it == m_keys.end())
            return std::nullopt;
        id = it->second;
    }
    return find(id);
}

std::vector<JobSummary> JournalQueue::listSince(const std::string& owner, std::time_t since)
{
    const std::lock_guard lock(m_mutex);
    JournalQuery query;
    query.program = "service";
    query.station = m_station;
    query.since = since;
    std::vector<JobSummary> out;
    const auto jobs = m_journal->listJobs(query);
    if (!jobs.ok())
        return out;
    for (const JournalJob& job : jobs.value) {
        const auto data = serviceDataOf(job.dataSource);
        if (!data || data->owner != owner)
            continue;
        if (const auto it = m_open.find(job.id); it != m_open.end())
            out.push_back(it->second.summary);
        else if (const auto ended = m_ended.find(job.id); ended != m_ended.end())
            out.push_back(ended->second);
        else if (auto entry = read(job.id, false))
            out.push_back(entry->summary);
    }
    return out;
}

std::vector<JobSummary> JournalQueue::unfinished()
{
    const std::lock_guard lock(m_mutex);
    std::vector<JobSummary> out;
    for (const auto& [id, entry] : m_open)
        out.push_back(entry.summary);
    return out;
}

std::vector<RecordValues> JournalQueue::recordValues(std::int64_t job)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_open.find(job); it != m_open.end())
        return it->second.values;
    if (auto entry = read(job, false))
        return entry->values;
    return {};
}

std::optional<StoredTemplate> JournalQueue::storedTemplate(std::int64_t job)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_open.find(job); it != m_open.end())
        return it->second.source;
    if (auto entry = read(job, true))
        return entry->source;
    return std::nullopt;
}

std::size_t JournalQueue::waitingRecords()
{
    const std::lock_guard lock(m_mutex);
    return m_waiting;
}

void JournalQueue::tidy()
{
    const std::lock_guard lock(m_mutex);
    flushLocked();
    if (const std::string error = m_journal->tidyWhenDue(); !error.empty())
        tellLocked("the print journal could not be tidied: " + error);
}

void JournalQueue::setProblemSink(std::function<void(const std::string&)> tell)
{
    const std::lock_guard lock(m_mutex);
    m_tell = std::move(tell);
}

std::size_t JournalQueue::unwrittenChanges()
{
    const std::lock_guard lock(m_mutex);
    return m_unwritten.size();
}

void JournalQueue::tellLocked(const std::string& problem)
{
    if (m_tell)
        m_tell(problem);
}

bool JournalQueue::flushLocked()
{
    while (!m_unwritten.empty()) {
        if (const std::string error = m_unwritten.front()(); !error.empty())
            return false;
        m_unwritten.pop_front();
        if (m_unwritten.empty())
            tellLocked("the print journal is written again");
    }
    m_ended.clear();
    return true;
}

void JournalQueue::writeLocked(Writes writes)
{
    if (writes.empty())
        return;
    // Changes wait behind those not yet written, so that the journal takes them in order.
    if (!flushLocked()) {
        for (auto& write : writes)
            m_unwritten.push_back(std::move(write));
        return;
    }
    // One commit for all of them; from the first that fails on, they wait.
    std::size_t failedAt = writes.size();
    std::string error;
    const std::string uncommitted = m_journal->batch([&] {
        for (std::size_t i = 0; i < writes.size() && failedAt == writes.size(); ++i)
            if (error = writes[i](); !error.empty())
                failedAt = i;
    });
    if (!uncommitted.empty()) {
        failedAt = 0;
        error = uncommitted;
    }
    if (failedAt == writes.size()) {
        m_ended.clear();
        return;
    }
    tellLocked("the print journal could not be written (" + error + "); the change is kept and written again");
    for (std::size_t i = failedAt; i < writes.size(); ++i)
        m_unwritten.push_back(std::move(writes[i]));
}

} // namespace ordavel::service
