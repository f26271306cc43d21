#pragma once
// The print paths' side of the journal: one entry per print, written before
// the first page is sent, each record's outcome as CUPS reports it. Whatever
// goes wrong with the journal is collected as one problem for the user and
// never stops the print.

#include "data/data_table.h"
#include "data/merge.h"
#include "data/record_list.h"
#include "journal/journal.h"
#include "model/document.h"
#include "model/message.h"
#include "print/calibration.h"
#include "print/print_job.h"
#include "print_run/run_journal.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;
class QPrinter;

namespace ordavel {


// A print's entry in the journal. Before the first page is sent, begin()
// writes the job and its records, each with the fields it prints, in one
// commit; that is all a print waits for, and a page print need not wait for
// it while the page is drawn (beginOverlapped). What happens after the
// hand-over (CUPS job ids, outcomes) is kept here and written in one commit
// by flush(), which settle() and finish() call, and the designer's
// settleLater() on its event loop. The records join the search index later,
// off the print's path (Journal::indexSearch).
class PrintJournalEntry {
public:
    explicit PrintJournalEntry(std::string path = Journal::defaultPath());
    ~PrintJournalEntry();
    PrintJournalEntry(const PrintJournalEntry&) = delete;
    PrintJournalEntry& operator=(const PrintJournalEntry&) = delete;

    // Records the job, printing, with one record per item (or, without a
    // table, one record for the page), each record's counters taken in the
    // same transaction. With `presetCounters` (a reprint: one list per item)
    // the records print those values and take none. False when the journal
    // is off or could not be written (problem() says why).
    bool begin(const JournalPrint& print, const Document& doc, const DataTable* table,
               const std::vector<BatchItem>& items, const std::string& printer,
               const std::vector<std::vector<CounterValue>>& presetCounters = {});
    // begin() for a page without data, its commit (the wait for the disk)
    // left to a worker thread: returns once the job's id stands, so that the
    // page can be drawn meanwhile. A page with serial numbers is written
    // before this returns, as by begin(). awaitWritten() must
    // come before the page is handed over, so that the job is on the disk
    // first; `doc` must live until then. Should the commit fail, the entry
    // is no longer active and problem() says why; the print goes ahead.
    bool beginOverlapped(const JournalPrint& print, const Document& doc, const std::string& printer);
    // Waits for the commit of beginOverlapped(); nothing to do otherwise.
    // Every later call of the entry waits for it too.
    void awaitWritten();
    // Takes up job `id` again to print the records at `indices` (a resume):
    // they are printing again, and print the counter values the journal holds.
    bool resume(JournalJobId id, const std::vector<int>& indices);

    bool active() const { return m_journal != nullptr && m_id > 0; }
    JournalJobId id() const { return m_id; }
    Journal* journal() const { return m_journal.get(); }

    // The counter values journal record `index` prints (none without a journal).
    RecordMerge::CounterValues countersOf(int index) const;
    // The CUPS job-name for records [first, last] (0-based) of this job.
    std::string cupsJobName(int first, int last, const std::string& name) const;

    // Records [first, last] were handed over: to a file (printed at once) or
    // to CUPS printer `printer` as the job named `title` sent at `since`.
    void handedOver(int first, int last, bool toFile, const std::string& printer = {}, const std::string& title = {},
                    std::time_t since = 0);
    void failed(int first, int last, JournalOutcome outcome, const std::string& reason);
    // Writes what was kept since begin() or the last flush, in one commit.
    void flush();
    // Polls CUPS every 250 ms until each job handed over has finished, for
    // at most `wait`; what has not finished by then stays printing and is
    // settled by the next `journal` command.
    void settle(std::chrono::milliseconds wait);
    // The job's outcome from its records: printed when all are, failed or
    // cancelled when none is left printing, else it stays printing.
    void finish();

    // The first thing that went wrong with the journal, with the journal's
    // own notices (a damaged file set aside); "" when nothing did. Cleared.
    std::string takeProblem();

    // Whether the changes kept hand every record of the job over to a file.
    bool everyRecordToFile() const;

private:
    struct Recording;
    bool start(const JournalPrint& print, const Document& doc, const DataTable* table,
               const std::vector<BatchItem>& items, const std::string& printer,
               const std::vector<std::vector<CounterValue>>& presetCounters, bool overlapped);
    bool started(const JournalResult<JournalJobId>& recorded, std::vector<RecordMerge::CounterValues> counters);
    void note(const std::string& error);
    // flush(), and with `finishing` finish() in the same commit.
    void write(bool finishing);

    struct Change {
        int first = 0;
        int last = 0;
        bool handedOver = false; // else failed with `outcome`
        bool toFile = false;
        std::string printer, title;
        std::time_t since = 0;
        JournalOutcome outcome = JournalOutcome::Failed;
        std::string reason;
    };

    std::string m_path;
    std::shared_ptr<Journal> m_journal;
    JournalJobId m_id = 0;
    std::vector<RecordMerge::CounterValues> m_counters; // one per record of the job
    std::shared_ptr<Recording> m_pending; // the commit of beginOverlapped, until awaited
    std::vector<Change> m_changes;
    std::string m_problem;
};

// For an entry whose records all went to files, what is left after the
// hand-over done on the journal's worker thread (JournalWorker): what it kept
// written and the job finished in one commit; the journal is tidied
// (Journal::tidyWhenDue) once a thousand records wait for the search index
// or the log holds a thousand pages. The future gives the problem to tell
// the user, "" for none.
std::future<std::string> finishOnWorker(std::shared_ptr<PrintJournalEntry> entry);

// The journal open at `path`, kept open for the process's later prints
// (the designer prints many times): opened, and migrated, once. Null with
// `error` when it cannot be opened.
std::shared_ptr<Journal> sharedJournal(const std::string& path, std::string& error);

// Asks CUPS how the records of job `id` still printing ended: completed ->
// printed, cancelled or aborted -> failed; a record of a CUPS job that is not
// known at all was never handed over -> failed. Jobs still in the queue stay
// printing. Unless `own`, a job whose printing process still runs on this
// machine is left alone. Finishes the job when no record is left printing.
// Returns how many records are still in the queue (0 when all are settled).
int settleFromCups(Journal& journal, JournalJobId id, bool own, std::string& error);

// The bytes a print keeps of its template: the file's own when the document
// is as loaded from `path`, else the document written out afresh.
std::string templateBytesOf(const Document& doc, const std::string& path, bool modified);

// A table made of the stored records' columns, one row per record, for
// printing them again.
DataTable tableOfRecords(const std::vector<JournalRecord>& records, const std::string& dataSource);

// Loads the template job `job` printed from the bytes the journal keeps of
// it into `doc`; false with `error` when none is kept or they do not load.
bool loadJournalTemplate(const Journal& journal, const JournalJob& job, Document& doc, std::string& error);

// What printing records of a job again takes: the new job (a reprint naming
// the one it repeats, printing the stored counter values), the chosen records
// as a table with one item each, or a page without data.
struct JournalReprint {
    JournalPrint print;
    std::vector<JournalRecord> records; // the chosen ones, in order
    DataTable table;                    // their columns, one row each
    std::vector<BatchItem> items;       // one per record, its stored copies
    std::vector<std::vector<CounterValue>> counters; // what each printed the first time
    bool page = false;                  // a page without data: print it without a table
};
// `rows` are 0-based positions in `records` (all of the job's records).
JournalReprint planReprint(const Journal& journal, const JournalJob& job, const std::vector<JournalRecord>& records,
                           const std::vector<int>& rows, const std::string& program, const std::string& calibration);

// A designer print of `doc` for the journal (its bytes as printed).
JournalPrint designerJournalPrint(const Document& doc, const Calibration& calibration, JournalKind kind, int copies);
// The printer a job went to as the journal names it: the file of a print to a file.
std::string journalPrinterName(const QPrinter& printer);

// For the designer: polls CUPS on the event loop, once a second for at most
// a minute, records what printed and finishes the entry, without holding up
// the window. What is still in the queue then stays printing. `report` hears
// once of the first thing that went wrong with the journal meanwhile (what
// the print kept could not be written); with a `context`, only while that
// object lives. Last, the journal is tidied on its worker when due
// (Journal::tidyWhenDue). An entry whose records all went to files is
// finished by finishOnWorker, off the window's thread.
void settleLater(std::unique_ptr<PrintJournalEntry> entry,
                 std::function<void(const std::string& problem)> report = {}, QObject* context = nullptr);

// The designer's one message about a journal that could not be written
// (caption "打印文件"); the print itself went ahead.
Message journalProblemMessage(const std::string& problem);

} // namespace ordavel
