#include "service/queue_ledger.h"

#include <algorithm>

namespace ordavel::service {

QueueLedger::QueueLedger(JobQueue& queue, RecordChanged changed) : m_queue(queue), m_changed(std::move(changed)) {}

std::set<std::int64_t> QueueLedger::takeChangedJobs() { return std::exchange(m_changedJobs, {}); }

std::string QueueLedger::titleOf(int first, int last, const std::string&) const
{
    return jobTitle(refsOf(first, last));
}

std::vector<RecordRef> QueueLedger::refsOf(int first, int last) const
{
    return {m_batch.begin() + first, m_batch.begin() + last + 1};
}

bool QueueLedger::mayHandOver(int first, int last) { return m_queue.mayHandOver(refsOf(first, last)); }

void QueueLedger::handedOver(int first, int last, int spoolId, bool)
{
    const auto records = refsOf(first, last);
    // Handed over is handed over, whether or not the spooler told its job's id.
    const int job = spoolId > 0 ? spoolId : kNoSpoolJobId;
    m_queue.markSent(records, job);
    changed(records, Outcome::Printing, job);
}

void QueueLedger::notHandedOver(int first, int last, NotHandedOver why, const std::string& reason)
{
    const auto records = refsOf(first, last);
    switch (why) {
    case NotHandedOver::Refused:
        // Still queued: tried again once the printer takes jobs.
        m_queue.handOverRefused(records);
        for (const RecordRef& record : records)
            m_changedJobs.insert(record.first);
        break;
    case NotHandedOver::NotDrawn:
        failed(records, reason, 0);
        break;
    case NotHandedOver::Stopped:
    case NotHandedOver::TakenOver: break;
    }
}

void QueueLedger::ended(const JobFollower::Ended& job)
{
    // The follower's verdict, with the service's own reasons.
    const Outcome outcome = outcomeFromJournal(job.outcome.outcome);
    std::string reason;
    if (outcome == Outcome::Cancelled)
        reason = "打印任务在打印队列中被取消";
    else if (outcome == Outcome::Failed) {
        failed(job.records, job.job.reason.empty() ? std::string("打印任务失败") : job.job.reason, job.spoolId);
        return;
    }
    (void)m_queue.markOutcomes(job.records, outcome, reason);
    changed(job.records, outcome, job.spoolId);
}

void QueueLedger::failed(const std::vector<RecordRef>& records, const std::string& reason, int spoolId)
{
    // What waits for a pool's next member is told as waiting, not failed:
    // a client that takes a failure for final would print it twice.
    const std::vector<RecordRef> again = m_queue.markOutcomes(records, Outcome::Failed, reason);
    std::vector<RecordRef> ended;
    for (const RecordRef& record : records)
        if (std::find(again.begin(), again.end(), record) == again.end())
            ended.push_back(record);
    changed(ended, Outcome::Failed, spoolId);
    changed(again, Outcome::Queued, 0);
}

void QueueLedger::changed(const std::vector<RecordRef>& records, Outcome outcome, int spoolId)
{
    for (const RecordRef& record : records) {
        m_changed(record, outcome, spoolId);
        m_changedJobs.insert(record.first);
    }
}

QueuePages::QueuePages(PageMaker& pages, std::string printer, const std::vector<PendingRecord>& batch,
                       const std::atomic<bool>& stop)
    : m_pages(pages), m_printer(std::move(printer)), m_batch(batch), m_stop(stop)
{
}

std::optional<std::size_t> QueuePages::draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                            const std::function<bool(std::size_t)>& drawnOne, std::string& error)
{
    const std::vector<PendingRecord> records(m_batch.begin() + static_cast<std::ptrdiff_t>(first),
                                             m_batch.begin() + static_cast<std::ptrdiff_t>(end));
    std::optional<JobPaper> paper;
    const int drawn =
        m_pages.draw(m_printer, records, document, [this] { return m_stop.load(); }, paper, error);
    if (drawn < 0)
        return std::nullopt;
    // The paper is the template's, known once it is read: the queue is given the one drawn on.
    document.request.paper = paper;
    // Every page drawn is in the document: all of them go out, whatever the run is told after.
    for (int i = 0; i < drawn; ++i)
        (void)drawnOne(first + static_cast<std::size_t>(i));
    return first + static_cast<std::size_t>(drawn);
}

} // namespace ordavel::service
