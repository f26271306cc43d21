#pragma once
// The service's queue of print jobs, as the operations a print journal
// offers: a job recorded `queued` with its records before it is answered,
// the next records to send to a printer, records marked sent with their CUPS
// job, each record's outcome, and jobs found by id, by token and key, or
// listed since a time. The dispatcher and the API see only this interface.

#include "print_run/spool_job.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordavel::service {

// The outcomes of jobs and records, named as the journal names them.
enum class Outcome { Queued, Printing, Printed, Failed, Cancelled, Expired };

const char* outcomeName(Outcome outcome);
Outcome outcomeFromJournal(JournalOutcome outcome);
JournalOutcome journalOutcomeOf(Outcome outcome);

// The spooler job of records handed to a spooler that told no job id (Wine's
// spooler lists no jobs): marks them handed over, so that they are never sent
// again, while nothing can be learnt of how they ended. No spooler gives it out.
inline constexpr int kNoSpoolJobId = 2147483647;
// Printed, failed, cancelled and expired records are done.
bool isFinal(Outcome outcome);

// One data record: column name and value, in the order the caller sent them.
using RecordValues = std::vector<std::pair<std::string, std::string>>;

// The template a job prints from: the bytes accepted with it (kept in the
// journal once per SHA-256), so that a later change to the file alters
// neither a queued job nor a reprint.
struct StoredTemplate {
    std::string path; // where it was read from, for messages and nearby images
    std::string hash; // SHA-256 of the bytes, hex
    std::shared_ptr<const std::string> bytes;
};

struct NewJob {
    std::string owner; // the token's name
    std::string key;   // "" when the caller sent none
    std::string templateName;
    std::string templatePath;
    // The template's bytes as accepted; read from templatePath when null.
    std::shared_ptr<const std::string> templateBytes;
    int libraryRevision = 0; // the shop library's revision of the template, 0 for a file
    std::string printer;
    int copies = 1;
    std::int64_t expiresSeconds = 0; // 0: never
    std::int64_t repeats = 0;        // the job a reprint repeats, 0 for none
    std::vector<RecordValues> records;
    // Each record's text as printed, by box ("box 3"), in record order; empty
    // when not known.
    std::vector<RecordValues> printed;
};

struct RecordState {
    int n = 0; // 1-based number within its job
    Outcome outcome = Outcome::Queued;
    int cupsJob = 0; // 0 until sent; kNoSpoolJobId when the spooler told no id
    // In a shop: the station and its printer the record was handed to; "" before.
    std::string station;
    std::string printer;
};

struct JobSummary {
    std::int64_t id = 0;
    std::string owner;
    std::string key;
    std::string templateName;
    std::string printer;
    int copies = 1;
    std::time_t created = 0;
    std::int64_t expiresSeconds = 0;
    std::int64_t repeats = 0;
    Outcome outcome = Outcome::Queued;
    std::string reason; // why it waits now or why it failed; "" otherwise
    std::vector<RecordState> records;
};

// A record waiting to be sent, with what drawing it needs.
struct PendingRecord {
    std::int64_t job = 0;
    int n = 0;
    StoredTemplate source;
    int copies = 1;
    RecordValues values;
};

// Sets a job's outcome from its records: queued while any record waits
// unsent, printing while any is in CUPS, else printed when all printed, else
// the first of failed, cancelled, expired among them. A printed job has no
// reason; the reason of one still waiting is the dispatcher's to keep current.
void settleJob(JobSummary& summary);

// A printer or pool of a shop, as every station's service lists it.
struct ShopTarget {
    std::string name;    // "STATION/PRINTER", or the pool's name
    std::string station; // "" for a pool
    std::string state;   // "idle", "printing" or "stopped"; a pool: "stopped" when no member takes work
    bool accepting = true;
    std::vector<std::string> members; // a pool's, in the order tried
};

struct Submitted {
    std::int64_t id = 0;
    bool created = false; // false: the owner's job with this key already existed
    // The job as recorded, when the queue knows it without reading it back.
    std::optional<JobSummary> recorded;
};

class JobQueue {
public:
    virtual ~JobQueue() = default;

    // Records the job, all its records queued; with a key that the owner used
    // before, records nothing and names the existing job. Nothing, with
    // `error`, when it cannot be recorded.
    virtual std::optional<Submitted> submit(const NewJob& job, std::string& error) = 0;

    // Queued, unsent records on `printer`, oldest job first and in record
    // order, as many as fit in `maxPages` pages (copies count as pages; at
    // least one record when any waits).
    virtual std::vector<PendingRecord> nextToSend(const std::string& printer, int maxPages) = 0;
    // The printers that have queued, unsent records.
    virtual std::vector<std::string> waitingPrinters() = 0;
    // Records handed to CUPS in job `cupsJob`: now `printing`.
    virtual void markSent(const std::vector<std::pair<std::int64_t, int>>& records, int cupsJob) = 0;
    // A record's outcome; the job's follows from its records.
    virtual void markOutcome(std::int64_t job, int n, Outcome outcome, const std::string& reason = {}) = 0;
    // The same outcome for many records, written as one. Returns the records
    // that did not take it but wait in the queue again: a pool's records a
    // member failed, which its next member prints.
    virtual std::vector<std::pair<std::int64_t, int>> markOutcomes(const std::vector<std::pair<std::int64_t, int>>& records,
                                                                   Outcome outcome, const std::string& reason = {}) = 0;
    // Why a job still waits ("" when it no longer does), kept across a restart.
    virtual void setReason(std::int64_t job, const std::string& reason) = 0;

    virtual std::optional<JobSummary> find(std::int64_t id) = 0;
    // Several jobs, in the order of `ids`; one not found is left out. A
    // shared queue reads them in one go.
    virtual std::vector<JobSummary> findAll(const std::vector<std::int64_t>& ids)
    {
        std::vector<JobSummary> found;
        for (const std::int64_t id : ids)
            if (auto job = find(id))
                found.push_back(std::move(*job));
        return found;
    }
    virtual std::optional<JobSummary> findByKey(const std::string& owner, const std::string& key) = 0;
    // The owner's jobs created at or after `since`, newest first.
    virtual std::vector<JobSummary> listSince(const std::string& owner, std::time_t since) = 0;
    // Jobs with records not yet done, oldest first.
    virtual std::vector<JobSummary> unfinished() = 0;
    // The values of a job's records, for a reprint (empty when unknown).
    virtual std::vector<RecordValues> recordValues(std::int64_t job) = 0;
    // The template the job printed from; nothing when the job is unknown.
    virtual std::optional<StoredTemplate> storedTemplate(std::int64_t job) = 0;
    // Records queued or printing, over all jobs.
    virtual std::size_t waitingRecords() = 0;
    // Work the queue's store leaves for an idle moment (its search index, its
    // log), done once enough of it has gathered.
    virtual void tidy() = 0;

    // What a queue shared by several stations needs of the dispatcher; a
    // station's own queue keeps the defaults, which change nothing.

    // Called with the dispatcher's wake-up when it starts (empty when it
    // stops): the queue calls it when another station may have left work.
    virtual void setWakeUp(std::function<void()> wake) { (void)wake; }
    // Just before drawn records go to the spooler: whether this station may
    // still hand them over. False when the claim on any of them was taken
    // over meanwhile; then none of them is handed over.
    virtual bool mayHandOver(const std::vector<std::pair<std::int64_t, int>>& records)
    {
        (void)records;
        return true;
    }
    // The spooler refused records that mayHandOver let go: nothing of them
    // printed, and they wait again.
    virtual void handOverRefused(const std::vector<std::pair<std::int64_t, int>>& records) { (void)records; }
    // The start's reconciliation with the spooler is done: records the last
    // run may have handed over and the spooler does not hold may print again.
    virtual void reconciled() {}
    // The station's printers as the spooler last told them.
    virtual void printersSeen(const std::vector<PrinterStatus>& printers) { (void)printers; }
    // The name a job for `printer` is recorded with when the queue knows the
    // printer beyond this station (a shop's printer or pool); "" when only
    // this station's own printers decide.
    virtual std::string targetOf(const std::string& printer)
    {
        (void)printer;
        return {};
    }
    // The printers and pools of the shop; none outside a shop.
    virtual std::vector<ShopTarget> shopTargets() { return {}; }
    // An event of token `owner` this station published (one line of JSON),
    // for the streams of the other stations.
    virtual void shareEvent(const std::string& owner, const std::string& json)
    {
        (void)owner;
        (void)json;
    }
    // Where the events other stations share are published on this one
    // (empty when the service stops).
    virtual void setEventSink(std::function<void(const std::string& owner, const std::string& json)> sink)
    {
        (void)sink;
    }
};

} // namespace ordavel::service
