#pragma once
// Sends queued records to their printers and follows them to the end. One
// thread: per printer, in the order accepted, up to kMaxPagesPerJob pages
// become one spooler job (CUPS on Linux, the Windows spooler there) through
// the print run, whose title names the records it holds
// ("ordavel-journal 12:1-50"), so that after a crash the records that had
// reached the spooler are found there instead of being sent again. A record
// counts as printed only when the spooler reports its job completed. A
// printer that is stopped or refuses jobs keeps its jobs queued with the reason.

#include "print_run/print_run.h"
#include "print_run/spooler.h"
#include "service/queue_ledger.h"
#include "service/event_hub.h"
#include "service/job_queue.h"
#include "service/page_maker.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ordavel::service {

inline constexpr int kMaxPagesPerJob = 50;

class Dispatcher {
public:
    // `spooler` outlives the dispatcher.
    Dispatcher(JobQueue& queue, PageMaker& pages, EventHub& events, Spooler& spooler);
    ~Dispatcher();

    // Adopts what CUPS already holds of unfinished jobs, then starts the thread.
    void start();
    // Finishes the page being drawn, sends what was drawn, and ends the thread.
    void stop();
    // New work: wakes the thread.
    void wake();

    // The printers as last seen (refreshed about once a second); asks the
    // scheduler again when `wanted` is not among them.
    std::vector<PrinterStatus> printers(const std::string& wanted = {});
    // Takes a job's records out of CUPS and marks what has not printed cancelled.
    void cancel(std::int64_t job);
    // Publishes a job's state to its owner's event streams.
    void announce(std::int64_t job);
    // The same for a job just read, and for several jobs read in one go.
    void announce(const JobSummary& job);
    void announce(const std::set<std::int64_t>& jobs);

private:
    void run();
    void reconcile();
    void adoptSpooled();
    void refreshPrinters(bool force);
    void expire();
    void sendFor(const PrinterStatus& printer);
    void follow();
    void publishRecord(std::int64_t job, int n, Outcome outcome, int cupsJob);
    // Learns the owners of the jobs of `records` not known yet, in one read.
    void learnOwners(const std::vector<RecordRef>& records);
    // To the owner's streams here and, in a shop, on every station.
    void publish(const std::string& owner, const std::string& json);
    void holdReasons(const std::map<int, std::vector<RecordRef>>& flight, const std::vector<SpoolJob>& entries);

    JobQueue& m_queue;
    PageMaker& m_pages;
    EventHub& m_events;
    Spooler& m_spooler;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;

    std::mutex m_printerMutex;
    std::vector<PrinterStatus> m_printers;
    std::chrono::steady_clock::time_point m_printersAt{};
    std::map<std::string, std::chrono::steady_clock::time_point> m_refusedUntil;
    std::set<std::string> m_paused; // printers whose queued jobs may carry the printer's reason
    // Job -> why CUPS has not printed it, as last seen; none before the first look.
    std::optional<std::map<std::int64_t, std::string>> m_heldReasons;

    std::mutex m_sendMutex; // held while records are drawn and handed over, and by cancel
    // Held while the run's follower is read or changed: by the dispatcher's
    // thread when it follows, and by cancel (which also holds the send lock,
    // so the run's hand-overs never meet it).
    std::mutex m_flightMutex;
    QueueLedger m_ledger;
    PrintRun m_run; // the spooler jobs handed over are its follower's
    std::chrono::steady_clock::time_point m_expiredAt{};
    std::chrono::steady_clock::time_point m_followedAt{};
    std::mutex m_ownerMutex;
    std::map<std::int64_t, std::string> m_owners; // job -> token name, for record events
    std::size_t inFlight();
};

} // namespace ordavel::service
