#pragma once
// The journal as the designer and the tool use it around the print run:
// what a print keeps of its template, reprint plans, the stored template
// loaded again, and settling a job left printing from the print queue.

#include "data/data_table.h"
#include "data/merge.h"
#include "data/record_list.h"
#include "journal/journal.h"
#include "model/document.h"
#include "model/message.h"
#include "print/calibration.h"
#include "print/print_job.h"
#include "print_run/run_journal.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ordavel {

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
    // On a template of several forms to a sheet, the cell each record goes
    // into (FormPageDevice::setCells): the one it first had, or 0 to take the
    // next (packed, and a record journalled without its cell); empty when all are packed.
    std::vector<int> cells;
    bool page = false;                  // a page without data: print it without a table
};
// `rows` are 0-based positions in `records` (all of the job's records).
// Unless `pack`, each record goes back into the cell it first had.
JournalReprint planReprint(const Journal& journal, const JournalJob& job, const std::vector<JournalRecord>& records,
                           const std::vector<int>& rows, const std::string& program, const std::string& calibration,
                           bool pack = false);

// A designer print of `doc` for the journal (its bytes as printed).
JournalPrint designerJournalPrint(const Document& doc, const Calibration& calibration, JournalKind kind, int copies);

// The designer's one message about a journal that could not be written
// (caption "打印文件"); the print itself went ahead.
Message journalProblemMessage(const std::string& problem);

} // namespace ordavel
