#pragma once
// The print service's queue for a station in a shop: one queue in the
// shop's database for every station, so that a job posted to any station
// prints on the station that drives its printer.
//
// A job is recorded in the shop's journal as the single station's service
// records it, marked for the shop's queue; the database adds one
// `print_queue` row per record in the same transaction (see the schema,
// version 2). A station claims rows for its own printers, and for pools
// whose first usable member is one of them, with
// `UPDATE ... FROM (SELECT ... FOR UPDATE SKIP LOCKED)`; every claim names
// this run of the service (the holder), raises the row's attempt number and
// starts a lease that a thread of this queue renews by the database's clock.
//
// Just before drawn records go to the spooler, mayHandOver turns them from
// `claimed` to `handed`, fenced by holder, attempt and a lease still
// running: a run whose claim was taken over hands nothing more over. A lease
// that runs out (the station died or lost the database) returns `claimed`
// rows to the queue and makes `handed` ones `uncertain`: those are never
// printed again by anyone automatically. The same station started again
// takes its rows back, and the dispatcher's reconciliation finds through the
// spooler's job titles which of them reached it; the others wait again.
// A finished record's row leaves the queue table.
//
// No transaction stays open while pages are drawn or handed over: every
// method here is a statement or a short transaction of its own.

#include "service/job_queue.h"
#include "service/service_job_data.h"

#include "journal/journal.h"
#include "journal/postgres/pg_connection.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace ordavel::service {

struct ShopQueueOptions {
    std::string url;     // the shop's database
    std::string station; // this station's name in the shop
    int leaseSeconds = 60;
};

// Whether a notification of the queue naming `target` may bring `station`
// work: a printer of its own, a pool (its first usable member may be here),
// or no name. A printer of another station does not.
bool targetConcerns(const std::string& target, const std::string& station);

class ShopQueue final : public JobQueue {
public:
    // Opens the shop's journal and queue as `options.station`, takes back
    // the rows an earlier run of this station held, and starts the thread
    // that renews leases, publishes printers and listens for new work.
    // Nothing, with `error`, when the shop cannot be reached.
    static std::unique_ptr<ShopQueue> open(const ShopQueueOptions& options, std::string& error);
    ~ShopQueue() override;

    std::optional<Submitted> submit(const NewJob& job, std::string& error) override;
    std::vector<PendingRecord> nextToSend(const std::string& printer, int maxPages) override;
    std::vector<std::string> waitingPrinters() override;
    void markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob) override;
    void markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason = {}) override;
    std::vector<std::pair<std::int64_t, int>> markOutcomes(const std::vector<std::pair<std::int64_t, int>>& records,
                                                           Outcome outcome, const std::string& reason = {}) override;
    void setReason(std::int64_t job, const std::string& reason) override;
    std::optional<JobSummary> find(std::int64_t id) override;
    std::vector<JobSummary> findAll(const std::vector<std::int64_t>& ids) override;
    std::optional<JobSummary> findByKey(const std::string& owner, const std::string& key) override;
    std::vector<JobSummary> listSince(const std::string& owner, std::time_t since) override;
    // The jobs with records this station holds, or that wait for one of its
    // own printers: only those records, with the station's printer.
    std::vector<JobSummary> unfinished() override;
    std::vector<RecordValues> recordValues(std::int64_t job) override;
    std::optional<StoredTemplate> storedTemplate(std::int64_t job) override;
    std::size_t waitingRecords() override;
    void tidy() override;

    void setWakeUp(std::function<void()> wake) override;
    bool mayHandOver(const std::vector<std::pair<std::int64_t, int>>& records) override;
    void handOverRefused(const std::vector<std::pair<std::int64_t, int>>& records) override;
    void reconciled() override;
    void printersSeen(const std::vector<PrinterStatus>& printers) override;
    // "STATION/PRINTER" and pool names as they are; a bare name is this
    // station's printer. "" for a name the shop knows no printer or pool by.
    std::string targetOf(const std::string& printer) override;
    // Every station's published printers (a station silent for 15 s shows
    // them stopped) and the pools, by name.
    std::vector<ShopTarget> shopTargets() override;
    // Events go out in the order published, a few at a time, as
    // notifications of channel `shop_events` the other stations listen to.
    void shareEvent(const std::string& owner, const std::string& json) override;
    void setEventSink(std::function<void(const std::string& owner, const std::string& json)> sink) override;

    const std::string& holder() const { return m_holder; }
    // Renews this run's leases, returns what ran out to the queue (as
    // `uncertain` when handed over) and publishes the printers; what the
    // queue's thread does every few seconds, for tests to do at once.
    void keepUp();

private:
    explicit ShopQueue(ShopQueueOptions options);
    using Refs = std::vector<std::pair<std::int64_t, int>>;
    using Db = ordavel::postgres_journal::PgConnection;
    std::string takeBack();
    void run();
    void listen(Db& listener, bool& listening);
    // Sends the events shared since the last call; kept when the database is away.
    void sendEvents(Db& listener);
    void receiveEvent(const std::string& payload);
    void wakeUp();
    std::vector<StoredTemplate> templatesOf(const std::vector<std::string>& hashes);
    std::shared_ptr<const std::string> bytesOf(const std::string& hash);
    std::optional<std::int64_t> jobOfKey(const std::string& owner, const std::string& key);
    void writeLocked(std::function<bool()> write);
    // Writes what waits; false while the database still refuses.
    bool flushLocked();
    bool sentLocked(const Refs& records, int cupsJob);
    // `queuedAgain` gets the failed records that went back to the queue.
    bool outcomesLocked(const Refs& records, Outcome outcome, const std::string& reason, Refs& queuedAgain);
    // Settles the jobs of `records` from their records, on m_db in the transaction open.
    ordavel::EngineError settleJobs(const Refs& records, const std::string& reason);
    std::optional<JobSummary> readJob(std::int64_t id);
    // The shop's jobs of `ids` in that order, in one statement; those not found left out.
    std::vector<JobSummary> readJobs(const std::vector<std::int64_t>& ids);
    // Runs `work` in one transaction on m_db; false when it failed.
    template <typename Work>
    bool transaction(Work&& work);

    const ShopQueueOptions m_options;
    const std::string m_holder;

    std::mutex m_journalMutex; // the journal's connection: submissions and template bytes
    std::unique_ptr<Journal> m_journal;

    std::mutex m_dbMutex; // the queue's connection
    Db m_db;
    std::map<std::pair<std::int64_t, int>, int> m_attempts; // claims of this run: record -> attempt
    std::map<std::string, std::weak_ptr<const std::string>> m_bytes;
    std::deque<std::function<bool()>> m_unwritten; // writes waiting for the database, in order
    std::set<std::int64_t> m_reasonCleared;         // jobs whose reason marking them sent cleared since
    // Jobs' tokens, keys and expiry as read from their data sources, which
    // never change: unfinished() is asked every second for hundreds of rows.
    std::unordered_map<std::int64_t, ServiceData> m_serviceData;
    std::size_t m_waitingCount = 0;                 // the shop's waiting records when last counted
    std::chrono::steady_clock::time_point m_waitingCountedAt{};
    std::atomic<std::size_t> m_takenSinceCount{0}; // records this station took since
    std::atomic<std::size_t> m_endedSinceVacuum{0}; // queue rows this station ended since it last vacuumed

    std::mutex m_stateMutex;
    std::function<void()> m_wake;
    std::function<void(const std::string&, const std::string&)> m_eventSink;
    std::deque<std::string> m_outgoing; // shared events not sent yet, as notification payloads
    std::vector<PrinterStatus> m_printers;
    bool m_printersChanged = false;
    bool m_printersKnown = false; // the spooler has told them once

    std::mutex m_keepMutex; // one keepUp at a time, on m_keeper
    Db m_keeper;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace ordavel::service
