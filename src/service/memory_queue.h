#pragma once
// A JobQueue held in memory: what the service runs on where no journal is
// available. It forgets everything when the process ends.

#include "service/job_queue.h"

#include <map>
#include <mutex>

namespace ordavel::service {

class MemoryQueue : public JobQueue {
public:
    std::optional<Submitted> submit(const NewJob& job, std::string& error) override;
    std::vector<PendingRecord> nextToSend(const std::string& printer, int maxPages) override;
    std::vector<std::string> waitingPrinters() override;
    void markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob) override;
    void markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason = {}) override;
    void setReason(std::int64_t job, const std::string& reason) override;
    std::optional<JobSummary> find(std::int64_t id) override;
    std::optional<JobSummary> findByKey(const std::string& owner, const std::string& key) override;
    std::vector<JobSummary> listSince(const std::string& owner, std::time_t since) override;
    std::vector<JobSummary> unfinished() override;
    std::vector<RecordValues> recordValues(std::int64_t job) override;
    std::string templatePath(std::int64_t job) override;
    std::size_t waitingRecords() override;

private:
    struct Entry {
        JobSummary summary;
        NewJob job;
    };
    std::mutex m_mutex;
    std::map<std::int64_t, Entry> m_jobs;
    std::int64_t m_next = 1;
    std::size_t m_waiting = 0;
};

} // namespace ordavel::service
