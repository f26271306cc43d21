#pragma once
// The print service's queued records as a print run's ledger and page
// device: a run's items are one batch of records claimed for one printer,
// drawn by the page maker into the queue job's PDF. Records the run did not
// hand over because it was stopped, or because another station claims them
// now, stay queued; a refused job's records are given back to the queue to
// be tried again; records that could not be drawn fail.

#include "print_run/print_run.h"
#include "service/job_queue.h"
#include "service/page_maker.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace ordavel::service {

class QueueLedger : public RunLedger {
public:
    // Told of each record that changed: its new outcome and queue job (0 for none).
    using RecordChanged = std::function<void(const RecordRef& record, Outcome outcome, int spoolId)>;

    QueueLedger(JobQueue& queue, RecordChanged changed);

    // The records of the next run, item by item.
    void setBatch(std::vector<RecordRef> batch) { m_batch = std::move(batch); }
    // The jobs whose records changed since the last call.
    std::set<std::int64_t> takeChangedJobs();

    bool keepsRecords() const override { return true; }
    std::string titleOf(int first, int last, const std::string& name) const override;
    std::vector<RecordRef> refsOf(int first, int last) const override;
    bool mayHandOver(int first, int last) override;
    void handedOver(int first, int last, int spoolId, bool toFile) override;
    void notHandedOver(int first, int last, NotHandedOver why, const std::string& reason) override;
    void ended(const JobFollower::Ended& job) override;

private:
    void changed(const std::vector<RecordRef>& records, Outcome outcome, int spoolId);
    // Marks `records` failed, and tells which of them wait in the queue again.
    void failed(const std::vector<RecordRef>& records, const std::string& reason, int spoolId);

    JobQueue& m_queue;
    RecordChanged m_changed;
    std::vector<RecordRef> m_batch;
    std::set<std::int64_t> m_changedJobs;
};

// Draws a batch of pending records with the page maker, every record
// whole (all its copies) or not at all.
class QueuePages : public PageDevice {
public:
    QueuePages(PageMaker& pages, std::string printer, const std::vector<PendingRecord>& batch,
               const std::atomic<bool>& stop);
    std::optional<std::size_t> draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                    const std::function<bool(std::size_t item)>& drawnOne,
                                    std::string& error) override;

private:
    PageMaker& m_pages;
    std::string m_printer;
    const std::vector<PendingRecord>& m_batch;
    const std::atomic<bool>& m_stop;
};

// Goes on until the service stops.
class QueueReporter : public RunReporter {
public:
    explicit QueueReporter(const std::atomic<bool>& stop) : m_stop(stop) {}
    bool proceed(std::size_t, std::size_t) override { return !m_stop.load(); }

private:
    const std::atomic<bool>& m_stop;
};

} // namespace ordavel::service
