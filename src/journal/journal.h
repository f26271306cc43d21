#pragma once
// The print journal: every job printed, each of its records with the values it
// printed, the template bytes it printed from, and named counters. By default
// one SQLite file per user, $XDG_DATA_HOME/ordavel/journal.sqlite, shared by
// every program of the user (designer, tool, print service) at once: WAL,
// full synchronous commits, a short wait on a lock held by another process.
// A shop of several stations keeps one journal in a PostgreSQL database
// (Journal::openShop); both behave alike through this class.
//
// A job's life: recordJob (queued, or printing at once) -> markPrinting (a
// queued job picked up, claimJob for another process) -> setCupsJobIds as the
// scheduler hands out job ids -> setRecordOutcome per record or range as the
// print path learns how each ended -> finishJob. A record is `printed` only
// when the printer path reported its CUPS job completed.
//
// Every call returns its error as a value (empty when it worked) and never
// throws. A file that is not a database or is damaged is set aside under a
// new name (Journal::open, and any later write that meets the damage) and a
// fresh journal is started; JournalNotice says so once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordavel {

using JournalJobId = std::int64_t;
using JournalTime = std::int64_t; // seconds since 1970-01-01 UTC

// The outcomes of a job and of each of its records. Names as stored and shown:
// "queued", "printing", "printed", "failed", "cancelled", "expired".
enum class JournalOutcome { Queued, Printing, Printed, Failed, Cancelled, Expired };
std::string_view outcomeName(JournalOutcome outcome);
std::optional<JournalOutcome> outcomeNamed(std::string_view name);
// Printed, failed, cancelled or expired: nothing more will happen to it.
bool isFinal(JournalOutcome outcome);

// What a job was: one page, a batch of records, a calibration page, a reprint.
// Names as stored: "page", "batch", "calibration", "reprint".
enum class JournalKind { Page, Batch, Calibration, Reprint };
std::string_view kindName(JournalKind kind);

struct JournalValue {
    std::string name;
    std::string value;
    bool operator==(const JournalValue&) const = default;
};
using JournalValues = std::vector<JournalValue>;

struct CounterValue {
    std::string name;
    std::int64_t value = 0;
    bool operator==(const CounterValue&) const = default;
};

// One record as the caller hands it over.
struct JournalRecordIn {
    int number = 0;     // the record's number in its data, 1-based; 0 for a page without data
    int copies = 1;
    JournalValues fields;  // each printed field's text as printed, by box name
    JournalValues columns; // the data columns the template uses, with this record's values
    std::vector<std::string> counters; // counters (${#seq:NAME}) this record takes a value of
    std::vector<CounterValue> counterValues = {}; // values it prints without taking them (a reprint's), kept with it
    bool fieldsLater = false; // the fields are not known yet: setRecordFields gives them once printed
};

struct JournalJobIn {
    std::string program;             // "designer", "tool", "service"
    JournalKind kind = JournalKind::Page;
    std::string printer;
    std::string templatePath;        // as given (may be empty for a reprint)
    std::string templateName;        // journalTemplateName of the file
    std::string templateBytes;       // stored once per distinct SHA-256
    std::string calibration;         // how the calibration used reads, empty for none
    int copies = 1;                  // of each page
    std::string dataSource;          // the data file of a batch, empty without data
    JournalJobId repeats = 0;        // the job a reprint repeats, 0 for none
    int libraryRevision = 0;         // the shop's library revision the template came from, 0 for none
    std::string user;                // empty: this process's user name
    JournalTime createdAt = 0;       // 0: now; else when it was first recorded (a job uploaded later)
    bool startPrinting = false;      // record it `printing` (this process prints it now), else `queued`
    bool searchIndexLater = false;   // leave the records out of the search index until indexSearch() or a search
    // Let the commit of the records go on while the caller draws its pages
    // (a shop's server writes them meanwhile); awaitCommit() tells how it
    // ended. The file journal commits at once.
    bool commitLater = false;
    std::vector<JournalRecordIn> records; // at least one (a page without data is one record)
};

struct JournalRecord {
    std::int64_t id = 0;
    JournalJobId job = 0;
    int index = 0;      // 0-based position within its job
    int number = 0;
    int copies = 1;
    JournalValues fields;
    bool fieldsPending = false; // stored before its fields were known, and they never followed
    JournalValues columns;
    std::vector<CounterValue> counters; // the values it printed
    JournalOutcome outcome = JournalOutcome::Queued;
    std::string reason;
    int cupsJobId = 0;  // the CUPS job it went out in, 0 when not known
    // On a template of several forms to a sheet, where its (first) form was
    // drawn: the sheet within its print and the cell (across, then down),
    // both from 1; 0 when not on a sheet.
    int sheet = 0;
    int cell = 0;
};

// Where record `index` (0-based) of a job was drawn on its sheet.
struct JournalPlace {
    int index = 0;
    int sheet = 0;
    int cell = 0;
    bool operator==(const JournalPlace&) const = default;
};

// A finished job of a station's own journal, to be recorded in the shop as
// it ended there.
struct JournalUpload {
    JournalJobId localId = 0;           // its id in the station's own journal
    JournalJobIn job;                   // what the shop records: its values, template and counter values
    std::vector<JournalRecord> records; // each record's outcome, reason and place, in the order of job.records
    JournalOutcome outcome = JournalOutcome::Printed;
    std::string reason;
};

struct JournalJob {
    JournalJobId id = 0;
    JournalTime createdAt = 0;
    JournalTime finishedAt = 0; // 0 while unfinished
    std::string user;
    std::string host;
    std::string station;        // the shop's station that printed it; "" in a station's own journal
    std::string program;
    std::string kind;
    std::string printer;
    std::string templatePath;
    std::string templateName;
    std::string templateHash;   // SHA-256, hex
    std::string calibration;
    int copies = 1;
    std::string dataSource;
    JournalJobId repeats = 0;
    int libraryRevision = 0;    // the library revision of templateName it printed, 0 when not from the library
    JournalOutcome outcome = JournalOutcome::Queued;
    std::string reason;
    std::string claimant;       // the process printing it, "" before it is picked up
    std::vector<int> cupsJobIds;
    int recordCount = 0;
    int printedCount = 0;
    bool resumeOffered = false; // the designer offered to resume it once already
};

// The filters of a listing; every one that is set must hold.
struct JournalQuery {
    std::optional<JournalTime> since; // created at or after
    std::optional<JournalTime> until; // created before
    std::string templateName;         // the job's template name, with or without ".oxf"
    std::string printer;              // equal to the job's printer
    std::string station;              // printed by this station of the shop
    // Words (split at spaces), each a
    // substring of a printed value of one and the same record or of the
    // job's template or printer name (case-insensitive for ASCII).
    std::string search;
    std::string program;
    JournalJobId after = 0;           // jobs with a larger id (written later) only
    bool unfinishedOnly = false;      // queued or printing
    int limit = 0;                    // newest first; 0: all
};

// A station of a shop: who joined it from where, and when it last printed.
struct JournalStation {
    std::string name;
    std::string user;
    std::string host;
    JournalTime joinedAt = 0;
    JournalTime lastPrinted = 0; // 0: never
};

// One revision of a template in a shop's library. Revisions never change:
// each name's are numbered from 1 in the order they were published.
struct LibraryRevision {
    std::string name;
    int revision = 0;
    std::string hash;         // SHA-256 of its bytes, hex
    JournalTime publishedAt = 0;
    std::string user;         // who published it, from which machine and station
    std::string host;
    std::string station;
    std::string note;
};

// A revision with its bytes.
struct LibraryTemplate {
    LibraryRevision revision;
    std::string bytes;
};

struct JournalStats {
    std::int64_t fileBytes = 0;  // the database with its WAL
    std::int64_t jobs = 0;
    std::int64_t records = 0;
    std::int64_t templates = 0;
    std::int64_t templateBytes = 0;
    JournalTime oldest = 0;
    JournalTime newest = 0;
};

template <typename T>
struct [[nodiscard]] JournalResult {
    T value{};
    std::string error; // empty when it worked
    bool ok() const { return error.empty(); }
};

// Called by recordJob for each record, after its counter values were taken
// and before it is stored, within the same transaction: gives the record's
// printed fields (merged with those values) and its data columns' values,
// which are stored in place of the record's own. `fields` and `columns` are
// the filler's from one record to the next and hold what it left at the one
// before, so that it can overwrite them in place.
using JournalRecordFiller = std::function<void(std::size_t index, const std::vector<CounterValue>& counters,
                                               JournalValues& fields, JournalValues& columns)>;

class Journal {
public:
    // $XDG_DATA_HOME/ordavel/journal.sqlite, ~/.local/share/... without XDG_DATA_HOME.
    static std::string defaultPath();

    struct Opened {
        std::unique_ptr<Journal> journal; // null when it could not be opened or created
        std::string error;                // why not
        std::string setAside;             // the name a damaged file was moved to, else empty
    };
    // Opens the journal at `path`, creating it (and its folder) when missing,
    // and migrates its schema forward. A newer schema than this program knows
    // is an error (the file is left alone).
    static Opened open(const std::string& path = defaultPath());
    // Opens the journal of a shop: the PostgreSQL database at `url` (a
    // connection URI or a string of keyword=value settings) whose tables
    // initShopJournal made. Connecting waits at most 2 s (less when the URL
    // says so), each statement as long. A schema older or newer than this
    // program's is an error, as is a database without one.
    // Jobs recorded through it are `station`'s ("" for none).
    static Opened openShop(const std::string& url, const std::string& station = {});

    // Whether the user switched the journal off (a marker beside the file).
    // Printing code checks this before opening the journal.
    static bool isOff(const std::string& path = defaultPath());
    static std::string setOff(bool off, const std::string& path = defaultPath());

    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const std::string& path() const;
    int schemaVersion() const;
    // What the journal had to do on its own since the last call (a damaged
    // file set aside), for the caller to tell the user once; cleared by the call.
    std::string takeNotice();

    // Stores the job, its template bytes (once per hash) and its records in
    // one transaction; each record's counters are advanced there too. One
    // commit; the records join the search index in it unless
    // job.searchIndexLater (they are found without the index meanwhile).
    // `staged` is called with the job's id once everything is written and
    // before the commit: from then on the id and the counter values the
    // filler saw stand, unless the commit fails (the result says so).
    // Every call of a Journal may come from any thread, one at a time;
    // `fill` and `staged` run while the journal is held and must not call it.
    JournalResult<JournalJobId> recordJob(const JournalJobIn& job, const JournalRecordFiller& fill = {},
                                          const std::function<void(JournalJobId)>& staged = {});
    // Waits for the commit a recordJob with commitLater left going: "" when
    // the job and its records (and counter values) stand, else why not (then
    // none of it was written). "" when nothing was left going.
    std::string awaitCommit();
    // Adds the records written since the last call to the search index, up
    // to 20,000 of them, oldest first (a journal just upgraded from an older
    // schema catches up over several calls; its records are found meanwhile),
    // and copies what the prints left in the write-ahead log into the
    // database file: the tidying after a print, off its path.
    // A search (listJobs) does one such chunk first when it can have the
    // lock at once.
    [[nodiscard]] std::string indexSearch();
    // indexSearch() once at least `backlog` records are outside the search
    // index or this connection's last commit left at least `logPages` pages
    // in the write-ahead log; "" and nothing done before. A page print
    // leaves the tidying to a later one: a search looks through a few
    // records itself, and the tidying costs more waits for the disk than the
    // page's own commits. A log copied over is written again from its start,
    // which is cheaper for a commit than making the file longer.
    [[nodiscard]] std::string tidyWhenDue(std::int64_t backlog = kTidyBacklog, int logPages = kTidyLogPages);
    // What a print may leave untidied: records outside the search index (a
    // search looks through a thousand in about 3 ms) and pages in the log
    // (as many as its file keeps when cut back: 4 MiB).
    static constexpr std::int64_t kTidyBacklog = 1000;
    static constexpr int kTidyLogPages = 1000;
    // The printed fields of records stored with fieldsLater, by record
    // index; a record's fields are written once, later calls leave them.
    [[nodiscard]] std::string setRecordFields(JournalJobId id, const std::vector<std::pair<int, JournalValues>>& fields);
    // Runs `work`, whose writes join one transaction (one commit); its error
    // or the first write's error rolls all of them back. Other threads'
    // calls wait until it ends (as they do for batch).
    [[nodiscard]] std::string inOneTransaction(const std::function<std::string()>& work);
    // The designer asked about resuming the job (whatever the answer).
    [[nodiscard]] std::string markResumeOffered(JournalJobId id);
    // Whether the file this journal opened is still at its path (not moved
    // aside or deleted by another program).
    bool isCurrent() const;

    // A queued job taken by `claimant` (e.g. "service:1234@host"): true when
    // this call moved it from queued to printing, false when another took it.
    JournalResult<bool> claimJob(JournalJobId id, const std::string& claimant);
    // queued -> printing for this process (records too).
    [[nodiscard]] std::string markPrinting(JournalJobId id);
    // Adds CUPS job ids to the job (kept in order, each once); records
    // [first, last] went out in `cupsJobId` when it is not 0.
    [[nodiscard]] std::string addCupsJob(JournalJobId id, int cupsJobId, int firstIndex, int lastIndex);
    // Where records were drawn on their sheets (JournalRecord::sheet, cell).
    [[nodiscard]] std::string setRecordPlaces(JournalJobId id, const std::vector<JournalPlace>& places);
    // The outcome of records [first, last] (0-based, inclusive). A record that
    // fails or is cancelled gives back its counter values when no later value
    // was taken, so that a failed page does not use a number up.
    [[nodiscard]] std::string setRecordOutcome(JournalJobId id, int firstIndex, int lastIndex, JournalOutcome outcome,
                                 const std::string& reason = {});
    // The job's own outcome and reason; a final outcome also sets finishedAt.
    [[nodiscard]] std::string finishJob(JournalJobId id, JournalOutcome outcome, const std::string& reason = {});
    // Queued jobs older than `before` become expired, with their records.
    JournalResult<int> expireQueued(JournalTime before, const std::string& reason);
    // Before a resume: records of job `id` at `indices` that gave their
    // counter values back take new ones, in one transaction; `refill` (when
    // set) is called for each record that got new values and may rewrite its
    // fields, which are stored again.
    using JournalRefill = std::function<void(JournalRecord& record)>;
    [[nodiscard]] std::string retakeCounters(JournalJobId id, const std::vector<int>& indices, const JournalRefill& refill = {});

    JournalResult<std::vector<JournalJob>> listJobs(const JournalQuery& query = {}) const;
    // The indices of the records of job `id` that a search (as
    // JournalQuery::search) finds, in order; every record for no words.
    JournalResult<std::vector<int>> matchingRecords(JournalJobId id, const std::string& search) const;
    // A number that changes whenever another connection (another program,
    // or another Journal of this one) wrote to the journal: a window asks it
    // every second to tell when to read again.
    JournalResult<std::int64_t> changeCount() const;
    JournalResult<std::optional<JournalJob>> job(JournalJobId id) const;
    JournalResult<std::vector<JournalRecord>> records(JournalJobId id) const;
    // Jobs queued or printing, oldest first; of one program when not empty.
    JournalResult<std::vector<JournalJob>> unfinishedJobs(const std::string& program = {}) const;
    // Runs `calls` (writes of this journal) in one transaction: one commit,
    // so one wait for the disk, for many small changes. Each call is undone
    // alone when it fails; the others stand. Empty, or why nothing was kept.
    [[nodiscard]] std::string batch(const std::function<void()>& calls);
    // How many jobs of `program` are queued or printing: one cheap question
    // for a window that shows it every few seconds.
    JournalResult<int> countUnfinished(const std::string& program) const;
    // The template bytes stored under a SHA-256 hash; nothing when not stored.
    JournalResult<std::optional<std::string>> templateBytes(const std::string& hash) const;

    // The next value the counter gives (1 for a new one).
    JournalResult<std::int64_t> nextCounterValue(const std::string& name) const;
    [[nodiscard]] std::string setNextCounterValue(const std::string& name, std::int64_t next);
    JournalResult<std::vector<CounterValue>> counters() const; // name and next value

    // Deletes jobs created before `before` that are finished, their records
    // and the templates no job uses any more; the number of jobs deleted.
    JournalResult<int> pruneBefore(JournalTime before);
    JournalResult<JournalStats> stats() const;

    // The shop's stations: `name` is this user on this machine from now on,
    // unless another user or machine joined under that name (an error).
    // A station's own journal has none.
    [[nodiscard]] std::string joinStation(const std::string& name);
    JournalResult<std::vector<JournalStation>> stations() const;
    // The station whose jobs this journal records; "" outside a shop.
    std::string station() const;
    // A job of this station's own journal uploaded to the shop: true when
    // `localId` was not uploaded before and now counts as uploaded (to be
    // called in the transaction that records it), false when it was.
    JournalResult<bool> markUploaded(JournalJobId localId);
    // The newest of this station's own jobs uploaded, 0 for none.
    JournalResult<JournalJobId> lastUploaded() const;
    // Records the uploads whose local ids were not uploaded before, marking
    // them uploaded, all in one transaction (or within the one open): the
    // number recorded, or an error and none. The jobs' ids follow their order.
    JournalResult<int> recordUploads(const std::vector<JournalUpload>& uploads);

    // The shop's template library. publishTemplate stores `bytes` as the
    // next revision of `name` unless they are the bytes of its latest
    // revision already; either way the revision that holds them. A station's
    // own journal has no library (an error).
    JournalResult<LibraryRevision> publishTemplate(const std::string& name, const std::string& bytes,
                                                   const std::string& note);
    // The latest revision of each name, by name.
    JournalResult<std::vector<LibraryRevision>> libraryTemplates() const;
    // Revision `revision` of `name` (its latest for 0); nothing when there is none.
    JournalResult<std::optional<LibraryTemplate>> libraryTemplate(const std::string& name, int revision = 0) const;

private:
    struct State;
    explicit Journal(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// Creates the tables of a shop's journal in the database at `url` (as
// Journal::openShop takes it), or brings an older schema forward; a newer
// schema than this program knows is refused and left alone. The schema
// version on success.
JournalResult<int> initShopJournal(const std::string& url);

// The name a job records for its template: the file's name without folders
// and without ".oxf" (any case), as every program records it.
std::string journalTemplateName(std::string_view pathOrName);

// The user name a job records when none is given (this process's user).
std::string journalUserName();

// The local time "2026-12-09 11:05:00" of a journal time, and a date or date
// and time given on a command line ("2026-12-09", "2026-12-09 11:05",
// "2026-12-09T11:05:00", or "today" and "yesterday": the start of that day)
// as local time.
std::string formatJournalTime(JournalTime time);
std::optional<JournalTime> parseJournalTime(std::string_view text);

} // namespace ordavel
