#pragma once
// Batches of the render and print commands: the data options, reading and
// checking the data, and writing or printing one page per record copy.

#include "option_parser.h"

#include "data/data_table.h"
#include "data/record_list.h"
#include "model/document.h"
#include "print_run/run_journal.h"
#include "print/calibration.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel::cli {

struct BatchOptions {
    std::string data;         // --data FILE, "-" for standard input; empty: no batch
    std::string sheet;        // --sheet NAME
    std::string records;      // --records LIST
    std::string copiesColumn; // --copies-column COL
    int jobSize = 0;          // --job-size K (print only); 0: the whole batch in one job
    bool keepGoing = false;   // --keep-going: a value its format cannot read prints nothing, and is reported
    int startCell = 1;        // --start-cell N: the first form's cell on a sheet of several forms
    bool wanted() const { return !data.empty(); }
};

// --data FILE|- and what goes with it: --sheet, --records, --copies-column
// and, when `withJobSize` (printing), --job-size.
void declareBatchOptions(OptionParser& parser, BatchOptions* target, bool withJobSize);

struct Batch {
    DataTable table;
    std::vector<BatchItem> items;
    // The journal record of each item when it is not its position (a
    // resume prints some records of a journal job); empty otherwise.
    std::vector<int> journalIndex;
    int startCell = 1; // the first form's cell on a sheet of several forms
    std::vector<int> cells; // each item's own cell on a sheet (a reprint's), 0: the next; empty: all the next
    int pageCount() const;
    int journalIndexOf(std::size_t item) const
    {
        return journalIndex.empty() ? static_cast<int>(item) : journalIndex[item];
    }
};

// Reads the data, selects the records, takes the copies and checks that the
// template's fields are columns and, unless keepGoing, that every formatted
// value of the records taken can be read. Nothing, with `error` set, when
// any of it fails.
std::optional<Batch> prepareBatch(const Document& doc, const BatchOptions& options, std::string& error);

// One page per record copy, in one PDF; or OUT-0001.png, OUT-0002.png, ...
// for OUT.png. Warnings (missing pictures, unreadable dates) go to stderr.
// Empty on success, else why it failed.
// A calibration other than the identity corrects every page as on a printer.
std::string writeBatchPdf(const Document& doc, const Batch& batch, const std::string& path,
                          const Calibration& calibration = Calibration{});
std::string writeBatchPng(const Document& doc, const Batch& batch, const std::string& path, int dpi,
                          const Calibration& calibration = Calibration{});

// Prints the batch through a print run on CUPS in jobs of
// `options.jobSize` records (all in one job when 0), "done/total" records on
// stderr after each record. A job the scheduler refuses is a failure. An
// interruption (SIGINT, SIGTERM) ends the job being drawn after its current
// record and sends it. On a failure or an interruption the message names the
// last record sent and the list that resumes the batch. With an active
// journal each printer job is titled after its journal records (and split
// where they are not consecutive), prints the records' counter values, and
// what became of each record is written to the journal: the tool waits for
// the printer (at most kJournalSettleSeconds) and finishes the journal's job
// before it returns, reporting a journal problem on stderr.
std::string printBatch(const Document& doc, const Batch& batch, const BatchOptions& options,
                       const std::string& printerName, const std::string& jobName,
                       const Calibration& calibration, RunJournal& journal);

// One page (`copies` of it, made by the queue) through a print run, as printBatch.
std::string printPage(const Document& doc, const std::string& printerName, int copies, const std::string& jobName,
                      const Calibration& calibration, RunJournal& journal);

// The printer a job goes to: `printerName`, or the system's default; "" with
// `error` ("no printer named ...", "no default printer").
std::string printerOrDefault(const std::string& printerName, std::string& error);

// How long the tool waits, after the last printer job was handed over, for
// CUPS to report each job finished before it leaves the rest to the journal
// command to settle.
inline constexpr int kJournalSettleSeconds = 60;

} // namespace ordavel::cli
