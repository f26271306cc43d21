#pragma once
// A print run's entry in the journal. begin() writes the job and its records,
// each with the fields it prints and the counter values it takes, in one
// commit before the first page is drawn; what happens after (queue job ids,
// outcomes) is kept and written in one commit by flush() and finish().
// Whatever goes wrong with the journal is collected as one problem for the
// user and never stops the print. Without a journal (switched off, or not
// opened) every call does nothing.

#include "data/data_table.h"
#include "data/merge.h"
#include "journal/journal.h"
#include "model/document.h"
#include "data/record_list.h"
#include "print_run/job_title.h"
#include "print_run/run_ledger.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ordavel {

// What the journal keeps of a print besides its records.
struct JournalPrint {
    std::string program;       // "designer", "tool"
    JournalKind kind = JournalKind::Page;
    std::string templatePath;
    std::string templateBytes; // the template as printed
    std::string calibration;   // its description, "" for none
    std::string dataSource;
    int copies = 1;
    JournalJobId repeats = 0;
    JournalValues pageFields;  // what a page without a template printed (a calibration page)
};

// The journal at `path` (or the shop's, for a station of a shop) opened for a
// run, or null when it is switched off; `problem` says why it could not be
// opened, and `unreachableShop` (when given) names the shop's database when
// that was what could not be reached.
std::shared_ptr<Journal> openRunJournal(const std::string& path, std::string& problem,
                                        std::string* unreachableShop = nullptr);
// What a run records into when the user's journal could not be opened
// (`error`): for a station of a shop, its own journal file at `path`; else none.
std::shared_ptr<Journal> journalWhenUnopened(const std::string& path, const std::string& error, std::string& problem,
                                             std::string* unreachableShop);

class RunJournal : public RunLedger {
public:
    // `journal` null: the run keeps no journal.
    explicit RunJournal(std::shared_ptr<Journal> journal = nullptr, std::string problem = {});

    // Records the job, printing, with one record per item (or, without a
    // table, one record for the page), each record's counters taken in the
    // same transaction. With `presetCounters` (a reprint: one list per item)
    // the records print those values and take none.
    bool begin(const JournalPrint& print, const Document& doc, const DataTable* table,
               const std::vector<BatchItem>& items, const std::string& printer,
               const std::vector<std::vector<CounterValue>>& presetCounters = {});
    // Takes up job `id` again to print the records at `indices` (a resume):
    // they are printing again, with the counter values the journal holds.
    bool resume(JournalJobId id, const std::vector<int>& indices);

    // The shop's database could not be reached: a template with counters is
    // refused by begin(), since a number taken offline could be another
    // station's too.
    void setUnreachableShop(std::string database) { m_unreachableShop = std::move(database); }
    // Why begin() refused to print at all; "" when it did not.
    const std::string& refusal() const { return m_refusal; }

    bool active() const { return m_journal != nullptr && m_id > 0; }
    JournalJobId id() const { return m_id; }
    Journal* journal() const { return m_journal.get(); }

    // The counter values journal record `index` (0-based) prints.
    RecordMerge::CounterValues countersOf(int index) const;
    // The spooler job title for records [first, last] (0-based) of this job;
    // `name` alone without a journal.
    std::string title(int first, int last, const std::string& name) const;

    // Records [first, last] were handed over as queue job `spoolId`, or to a
    // file (printed as it stands).
    void handedOver(int first, int last, int spoolId, bool toFile) override;
    void failed(int first, int last, JournalOutcome outcome, const std::string& reason);
    // A refused job's records failed; what else was not handed over is cancelled.
    void notHandedOver(int first, int last, NotHandedOver why, const std::string& reason) override;
    void ended(const JobFollower::Ended& job) override;
    // The journal's commit of the job, left going while the first pages are
    // drawn, has to stand before anything goes out. When it failed the print
    // goes on without the journal, unless its records took counter values:
    // those were not recorded, and could be printed again by another station.
    bool mayHandOver(int first, int last) override;
    std::string heldBack() const override { return m_heldBack; }
    bool keepsRecords() const override { return active(); }
    std::string titleOf(int first, int last, const std::string& name) const override
    {
        return title(first, last, name);
    }
    // Record i of this job is (id, i + 1).
    std::vector<RecordRef> refsOf(int first, int last) const override;
    // Record `record` (0-based) was drawn on sheet `sheet` of this print in
    // cell `cell` (both from 1); written with the next flush.
    void placed(int record, int sheet, int cell);
    // What the queue said of records that were handed over.
    void settled(int first, int last, JournalOutcome outcome, const std::string& reason);
    // Writes what was kept since begin() or the last flush, in one commit.
    void flush() override;
    // flush(), then the job's outcome from its records (finishFromRecords).
    void finish() override;

    // The first thing that went wrong with the journal, with the journal's
    // own notices (a damaged file set aside); "" when nothing did. Cleared.
    std::string takeProblem();

private:
    void note(const std::string& error);
    // Waits for the commit begin() left going; false when it failed (the job is then not kept).
    bool committed();
    void write(bool finishing);
    bool everyRecordToFile() const;

    struct Change {
        int first = 0;
        int last = 0;
        enum class Kind { Spooled, ToFile, Outcome } kind = Kind::Outcome;
        int spoolId = 0;
        JournalOutcome outcome = JournalOutcome::Failed;
        std::string reason;
    };

    std::shared_ptr<Journal> m_journal;
    JournalJobId m_id = 0;
    std::vector<RecordMerge::CounterValues> m_counters; // one per record of the job
    std::vector<Change> m_changes;
    std::vector<JournalPlace> m_places;
    std::string m_problem;
    std::string m_unreachableShop;
    std::string m_refusal;
    bool m_commitPending = false; // begin()'s commit is still going on
    bool m_tookCounters = false;  // begin() took counter values for the records
    std::string m_heldBack;
};

// The job's outcome from its records once none is left queued or printing:
// printed when all printed, cancelled when the rest were cancelled, else
// failed. Empty, or the journal's error.
std::string finishFromRecords(Journal& journal, JournalJobId id);

// Asks the queue how the records of job `id` still printing ended:
// completed -> printed, cancelled or aborted -> cancelled or failed; a record
// whose queue job is not known at all was never handed over -> failed. A
// record handed over without its queue job's id being written (the process
// ended first) is found by its job's title. Jobs still in the queue stay
// printing. Unless `own`, a job whose printing process still runs on this
// machine is left alone, and the job is finished once no record is left
// printing. Returns how many records are still in the queue.
class Spooler;
int settleFromQueue(Journal& journal, JournalJobId id, bool own, const Spooler& spooler, std::string& error);

// Whether a job's printer is a file it was written to (an absolute path).
bool printedToFile(const std::string& printer);

// Sorted indices as runs of neighbours [first, last].
std::vector<std::pair<int, int>> consecutiveRuns(const std::vector<int>& indices);

} // namespace ordavel
