#include "service/memory_queue.h"

#include <algorithm>
#include <set>

namespace ordavel::service {

std::optional<Submitted> MemoryQueue::submit(const NewJob& job, std::string& /*error*/)
{
    const std::lock_guard lock(m_mutex);
    if (!job.key.empty())
        for (const auto& [id, entry] : m_jobs)
            if (entry.summary.owner == job.owner && entry.summary.key == job.key)
                return Submitted{id, false};
    Entry entry;
    entry.job = job;
    JobSummary& s = entry.summary;
    s.id = m_next++;
    s.owner = job.owner;
    s.key = job.key;
    s.templateName = job.templateName;
    s.printer = job.printer;
    s.copies = job.copies;
    s.created = std::time(nullptr);
    s.expiresSeconds = job.expiresSeconds;
    s.repeats = job.repeats;
    for (std::size_t i = 0; i < job.records.size(); ++i)
        s.records.push_back({static_cast<int>(i) + 1, Outcome::Queued, 0});
    m_waiting += job.records.size();
    const std::int64_t id = s.id;
    m_jobs.emplace(id, std::move(entry));
    return Submitted{id, true};
}

std::vector<PendingRecord> MemoryQueue::nextToSend(const std::string& printer, int maxPages)
{
    const std::lock_guard lock(m_mutex);
    std::vector<PendingRecord> out;
    int pages = 0;
    for (auto& [id, entry] : m_jobs) {
        if (entry.summary.printer != printer || entry.summary.outcome != Outcome::Queued)
            continue;
        for (const auto& r : entry.summary.records) {
            if (r.outcome != Outcome::Queued || r.cupsJob != 0)
                continue;
            if (!out.empty() && pages + entry.job.copies > maxPages)
                return out;
            out.push_back({id, r.n, entry.job.templatePath, entry.job.copies,
                           entry.job.records[static_cast<std::size_t>(r.n - 1)]});
            pages += entry.job.copies;
        }
    }
    return out;
}

std::vector<std::string> MemoryQueue::waitingPrinters()
{
    const std::lock_guard lock(m_mutex);
    std::set<std::string> printers;
    for (const auto& [id, entry] : m_jobs)
        if (entry.summary.outcome == Outcome::Queued)
            printers.insert(entry.summary.printer);
    return {printers.begin(), printers.end()};
}

void MemoryQueue::markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob)
{
    const std::lock_guard lock(m_mutex);
    for (const auto& [job, n] : records) {
        const auto it = m_jobs.find(job);
        if (it == m_jobs.end() || n < 1 || n > static_cast<int>(it->second.summary.records.size()))
            continue;
        RecordState& r = it->second.summary.records[static_cast<std::size_t>(n - 1)];
        if (r.outcome != Outcome::Queued)
            continue;
        r.outcome = Outcome::Printing;
        r.cupsJob = cupsJob;
        settleJob(it->second.summary);
    }
}

void MemoryQueue::markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(job);
    if (it == m_jobs.end() || n < 1 || n > static_cast<int>(it->second.summary.records.size()))
        return;
    RecordState& r = it->second.summary.records[static_cast<std::size_t>(n - 1)];
    if (isFinal(r.outcome))
        return;
    if (isFinal(outcome))
        --m_waiting;
    r.outcome = outcome;
    if (!reason.empty())
        it->second.summary.reason = reason;
    settleJob(it->second.summary);
}

void MemoryQueue::setReason(std::int64_t job, const std::string& reason)
{
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_jobs.find(job); it != m_jobs.end())
        it->second.summary.reason = reason;
}

std::optional<JobSummary> MemoryQueue::find(std::int64_t id)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return std::nullopt;
    return it->second.summary;
}

std::optional<JobSummary> MemoryQueue::findByKey(const std::string& owner, const std::string& key)
{
    const std::lock_guard lock(m_mutex);
    for (const auto& [id, entry] : m_jobs)
        if (!key.empty() && entry.summary.owner == owner && entry.summary.key == key)
            return entry.summary;
    return std::nullopt;
}

std::vector<JobSummary> MemoryQueue::listSince(const std::string& owner, std::time_t since)
{
    const std::lock_guard lock(m_mutex);
    std::vector<JobSummary> out;
    for (auto it = m_jobs.rbegin(); it != m_jobs.rend(); ++it)
        if (it->second.summary.owner == owner && it->second.summary.created >= since)
            out.push_back(it->second.summary);
    return out;
}

std::vector<JobSummary> MemoryQueue::unfinished()
{
    const std::lock_guard lock(m_mutex);
    std::vector<JobSummary> out;
    for (const auto& [id, entry] : m_jobs)
        if (!isFinal(entry.summary.outcome))
            out.push_back(entry.summary);
    return out;
}

std::vector<RecordValues> MemoryQueue::recordValues(std::int64_t job)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(job);
    return it == m_jobs.end() ? std::vector<RecordValues>{} : it->second.job.records;
}

std::string MemoryQueue::templatePath(std::int64_t job)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(job);
    return it == m_jobs.end() ? std::string() : it->second.job.templatePath;
}

std::size_t MemoryQueue::waitingRecords()
{
    const std::lock_guard lock(m_mutex);
    return m_waiting;
}

} // namespace ordavel::service
