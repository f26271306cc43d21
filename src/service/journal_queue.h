#pragma once
// The service's queue kept in the print journal: every job accepted is a
// journal job of the program "service", written before the caller gets its
// answer, so that a service killed at any moment finds on its next start
// every record it accepted. The journal job's data source holds what only
// the service needs (token, key, expiry) as JSON.
//
// A record is unsent while it has no CUPS job id and is not final; a job is
// claimed (`printing`) before its first records are drawn, and one another
// process claimed first leaves the queue. What the service asks
// often (the next records, the waiting count) comes from a copy in memory of
// the unfinished jobs, which this class alone changes.

#include "service/job_queue.h"

#include "journal/journal.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace ordavel::service {

class JournalQueue : public JobQueue {
public:
    // Opens the journal at `path`; nothing, with `error`, when it cannot be opened.
    static std::unique_ptr<JournalQueue> open(const std::string& path, std::string& error);

    std::optional<Submitted> submit(const NewJob& job, std::string& error) override;
    std::vector<PendingRecord> nextToSend(const std::string& printer, int maxPages) override;
    std::vector<std::string> waitingPrinters() override;
    void markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob) override;
    void markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason = {}) override;
    std::vector<std::pair<std::int64_t, int>> markOutcomes(const std::vector<std::pair<std::int64_t, int>>& records,
                                                           Outcome outcome, const std::string& reason = {}) override;
    void setReason(std::int64_t job, const std::string& reason) override;
    std::optional<JobSummary> find(std::int64_t id) override;
    std::optional<JobSummary> findByKey(const std::string& owner, const std::string& key) override;
    std::vector<JobSummary> listSince(const std::string& owner, std::time_t since) override;
    std::vector<JobSummary> unfinished() override;
    std::vector<RecordValues> recordValues(std::int64_t job) override;
    std::optional<StoredTemplate> storedTemplate(std::int64_t job) override;
    std::size_t waitingRecords() override;
    // The journal's tidying (Journal::tidyWhenDue) once a thousand records
    // wait for its search index or its log holds a thousand pages.
    void tidy() override;

    // The journal's own notice (a damaged file set aside), once.
    std::string takeNotice();

    // Where the queue tells of journal writes that failed and were written
    // again later (the service's log); called with the queue's lock held.
    void setProblemSink(std::function<void(const std::string&)> tell);
    // Changes made in memory that the journal has not taken yet.
    std::size_t unwrittenChanges();

private:
    explicit JournalQueue(std::unique_ptr<Journal> journal);
    struct Entry {
        JobSummary summary;
        StoredTemplate source;
        std::vector<RecordValues> values;
        bool claimed = false;
    };
    // A submission waiting for the commit it shares with others.
    struct Pending {
        const NewJob* job = nullptr;
        JournalJobIn in;
        std::shared_ptr<const std::string> bytes;
        std::string hash;
        std::int64_t id = 0; // recorded, not yet committed
        std::optional<Submitted> result;
        std::string error;
        bool done = false;
    };
    void commit(const std::vector<Pending*>& batch);
    void load();
    // A journal write; "" when written, else why not.
    using Writes = std::vector<std::function<std::string()>>;
    void markOutcomeLocked(std::int64_t job, int n, Outcome outcome, const std::string& reason, Writes& writes);
    // Writes `writes` in one commit after those still waiting; what fails
    // waits, in order, to be written again before any later change (the
    // queue in memory never keeps a change the journal will not get).
    void writeLocked(Writes writes);
    // Writes what waits; false when the journal still refuses.
    bool flushLocked();
    void tellLocked(const std::string& problem);
    // The job as stored; with `withBytes` its template's bytes too.
    std::optional<Entry> read(std::int64_t id, bool withBytes);
    // One copy in memory of each template's bytes, however many jobs use it.
    std::shared_ptr<const std::string> shared(const std::string& hash, std::shared_ptr<const std::string> bytes);
    std::shared_ptr<const std::string> storedBytes(const std::string& hash);

    std::mutex m_mutex;
    std::unique_ptr<Journal> m_journal;
    const std::string m_station; // in a shop, the station whose jobs this queue prints
    std::map<std::int64_t, Entry> m_open; // unfinished jobs
    std::map<std::pair<std::string, std::string>, std::int64_t> m_keys;
    std::size_t m_waiting = 0;
    std::map<std::string, std::weak_ptr<const std::string>> m_bytes; // by hash
    std::deque<std::function<std::string()>> m_unwritten;
    std::map<std::int64_t, JobSummary> m_ended; // ended here, not yet in the journal
    std::function<void(const std::string&)> m_tell;

    std::mutex m_groupMutex;
    std::condition_variable m_groupDone;
    std::vector<Pending*> m_group; // submissions waiting for the next commit
    bool m_committing = false;
};

} // namespace ordavel::service
