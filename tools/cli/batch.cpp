#include "batch.h"

#include "page_output.h"

#include "platform/batch_printer.h"
#include "platform/form_page_device.h"
#include "platform/system_spooler.h"
#include "template_input.h"

#include "data/data_source.h"
#include "data/format_check.h"
#include "data/merge.h"
#include "data/text_fit_check.h"
#include "platform/print_measure.h"
#include "platform/printer.h"
#include "print/job_paper.h"
#include "print_run/print_run.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>

namespace ordavel::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted = true; }

// The cell the batch's first form goes into, within the sheet's cells.
int startCellOf(const Document& doc, const Batch& batch)
{
    return std::clamp(batch.startCell, 1, doc.page().sheet.cells());
}

void reportWarnings(const RecordMerge& merge)
{
    for (const auto& warning : merge.warnings())
        std::fprintf(stderr, "ordavel-cli: %s\n", warning.c_str());
    if (merge.warningCount() > merge.warnings().size())
        std::fprintf(stderr, "ordavel-cli: ... %zu warnings in all\n", merge.warningCount());
}

BoxFilter viewOf(RecordMerge& merge)
{
    return [&merge](const Box& box) -> const Box& { return merge.merged(box); };
}

// "OUT.png" -> "OUT-0001.png"; at least four digits.
std::string numberedName(const std::string& path, int number)
{
    const std::string stem = path.substr(0, path.size() - 4);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return stem + "-" + digits + path.substr(path.size() - 4);
}

// One record's page on `painter`, corrected by `calibration` unless it is the identity.
void drawRecordPage(QPainter& painter, const Document& doc, RecordMerge& merge, const Calibration& calibration)
{
    printPageOn(painter, doc, calibration, {}, viewOf(merge));
}

} // namespace

void declareBatchOptions(OptionParser& parser, BatchOptions* target, bool withJobSize)
{
    const auto into = [](std::string* field) {
        return [field](const std::string& value) {
            *field = value;
            return std::string();
        };
    };
    parser.option({.name = "--data", .value = "FILE|-",
                   .help = "one page per record of this CSV, TSV, XLSX or JSON file (- reads standard input)"},
                  into(&target->data));
    parser.option({.name = "--sheet", .value = "NAME", .help = "the XLSX sheet (default the first)", .within = "--data"},
                  into(&target->sheet));
    parser.option({.name = "--records", .value = "LIST", .help = "the records to take, e.g. 1-50,75,100-",
                   .within = "--data"},
                  into(&target->records));
    parser.option({.name = "--copies-column", .value = "COL", .help = "the column that holds each record's copies",
                   .within = "--data"},
                  into(&target->copiesColumn));
    parser.flag("--keep-going", "print a value its format cannot read as nothing, and go on", &target->keepGoing);
    parser.option({.name = "--start-cell", .value = "N",
                   .help = "on a template of several forms to a sheet, the first form goes into cell N (across, then down)",
                   .within = "--data"},
                  [target](const std::string& value) {
                      target->startCell = parsePositive(value);
                      return target->startCell == 0 ? std::string("--start-cell takes a whole number of at least 1")
                                                    : std::string();
                  });
    if (!withJobSize)
        return;
    parser.option({.name = "--job-size", .value = "K",
                   .help = "K records per printer job (default the whole batch in one job)", .within = "--data"},
                  [target](const std::string& value) {
                      target->jobSize = parsePositive(value);
                      return target->jobSize == 0 ? std::string("--job-size takes a whole number of at least 1")
                                                  : std::string();
                  });
}

int Batch::pageCount() const
{
    int pages = 0;
    for (const auto& item : items)
        pages += item.copies;
    return pages;
}

std::optional<Batch> prepareBatch(const Document& doc, const BatchOptions& options, std::string& error)
{
    DataReadResult read;
    if (options.data == "-") {
        const std::string bytes{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        read = readDataBytes(bytes, dataKindOf("-", bytes), options.sheet);
    } else {
        read = readDataFile(options.data, options.sheet);
    }
    if (!read.ok()) {
        error = options.data + ": " + read.error;
        return std::nullopt;
    }
    Batch batch;
    batch.table = std::move(read.table);
    const FieldCheck check = checkFields(doc, batch.table);
    if (!check.ok()) {
        error = check.message();
        return std::nullopt;
    }
    const RecordSelection selection = parseRecordList(options.records, batch.table.recordCount());
    if (!selection.error.empty()) {
        error = selection.error;
        return std::nullopt;
    }
    batch.items = planBatch(batch.table, selection.rows, options.copiesColumn, error);
    batch.startCell = options.startCell;
    if (options.startCell > doc.page().sheet.cells()) {
        error = doc.page().sheet.active()
            ? "--start-cell " + std::to_string(options.startCell) + " is beyond the sheet's "
                + std::to_string(doc.page().sheet.cells()) + " cells"
            : std::string("--start-cell is for a template of several forms to a sheet");
        return std::nullopt;
    }
    if (!error.empty())
        return std::nullopt;
    if (batch.pageCount() == 0) {
        error = "没有要打印的记录";
        return std::nullopt;
    }
    if (!options.keepGoing) {
        std::vector<int> rows;
        for (const BatchItem& item : batch.items)
            if (item.copies > 0)
                rows.push_back(item.row);
        auto problems = checkFieldFormats(doc, batch.table, rows);
        PrintMeasure measure;
        for (FormatProblem& problem : checkTextFit(doc, batch.table, rows, measure.surface()))
            problems.push_back(std::move(problem));
        for (const FormatProblem& problem : problems)
            error += (error.empty() ? "" : "\n") + problem.message();
        if (!problems.empty()) {
            error += "\n（--keep-going 照样打印，这些值留空）";
            return std::nullopt;
        }
    }
    return batch;
}

std::string writeBatchPdf(const Document& doc, const Batch& batch, const std::string& path,
                          const Calibration& calibration)
{
    // The target is checked (links followed, a read-only file refused)
    // before any page is drawn, and the pages stream into a temporary.
    RecordMerge merge(batch.table);
    const std::string error = writePdfFile(path, [&](QPrinter& printer) {
        configurePrinter(printer, doc.page(), calibration.pageLengthMm);
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        int form = 0;
        for (const BatchItem& item : batch.items) {
            merge.setRecord(item.row, item.number);
            for (int copy = 0; copy < item.copies; ++copy)
                printFormOn(painter, printer, doc, calibration, viewOf(merge), form++, startCellOf(doc, batch));
        }
        return painter.end();
    });
    reportWarnings(merge);
    return error;
}

std::string writeBatchPng(const Document& doc, const Batch& batch, const std::string& path, int dpi,
                          const Calibration& calibration)
{
    std::string error;
    QImage image = paperImage(doc.page(), dpi, error);
    if (image.isNull())
        return error;
    RecordMerge merge(batch.table);
    int page = 0;
    for (const BatchItem& item : batch.items) {
        merge.setRecord(item.row, item.number);
        for (int copy = 0; copy < item.copies && error.empty(); ++copy) {
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                drawRecordPage(painter, doc, merge, calibration);
            }
            error = writePngFile(image, numberedName(path, ++page));
        }
    }
    reportWarnings(merge);
    return error;
}

namespace {

// The tool's side of a run: "done/total" on stderr after each record, and
// an interruption (SIGINT, SIGTERM) stops after the record being drawn.
class ToolReporter : public RunReporter {
public:
    explicit ToolReporter(bool counting) : m_counting(counting) {}
    bool proceed(std::size_t, std::size_t) override { return !g_interrupted; }
    void drawn(std::size_t item, std::size_t total) override
    {
        if (m_counting)
            std::fprintf(stderr, "%zu/%zu\n", item + 1, total);
    }

private:
    bool m_counting;
};

// The printer a job goes to: `name`, or the queue's default; "" with `error`.
std::string printerNamed(const Spooler& spooler, const std::string& name, std::string& error)
{
    const auto printers = spooler.printers().value_or(std::vector<PrinterStatus>());
    if (name.empty()) {
        for (const PrinterStatus& printer : printers)
            if (printer.isDefault)
                return printer.name;
        error = "no default printer";
        return {};
    }
    // An unknown name must not fall back to whatever printer is the default.
    if (std::none_of(printers.begin(), printers.end(), [&](const PrinterStatus& p) { return p.name == name; }))
        error = "no printer named \"" + name + "\"";
    return error.empty() ? name : std::string();
}

// After the last job was handed over: waits for the printer, finishes the
// journal's job and reports a journal problem as one line on stderr.
void settle(PrintRun& run, RunJournal& journal)
{
    run.settle(std::chrono::seconds(kJournalSettleSeconds));
    run.finish();
    // The pages are out: the search index takes in the records now (or the
    // next search does, when this fails).
    if (Journal* written = journal.journal(); written != nullptr && journal.active())
        (void)written->indexSearch();
    if (const std::string problem = journal.takeProblem(); !problem.empty())
        std::fprintf(stderr, "ordavel-cli: print journal: %s (the print went ahead)\n", problem.c_str());
}

} // namespace

std::string printerOrDefault(const std::string& printerName, std::string& error)
{
    return printerNamed(*systemSpooler(), printerName, error);
}

namespace {

// One run of the tool on the system's queue: the printer looked up, the
// pages drawn and handed over, then the printer waited for. `plan` has its
// items; the printer, title name and paper are filled in here.
RunResult printOnQueue(const Document& doc, const std::string& printerName, const std::string& jobName,
                       const Calibration& calibration, RunJournal& journal, RunPlan plan, FormPageDevice& device,
                       bool counting, std::string& error)
{
    const std::unique_ptr<Spooler> queue = systemSpooler();
    plan.printer = printerNamed(*queue, printerName, error);
    if (!error.empty())
        return {};
    plan.name = jobName;
    plan.paper = jobPaper(doc.page(), calibration.pageLengthMm);
    ToolReporter reporter(counting);
    PrintRun run(journal, *queue);
    const RunResult result = run.print(plan, device, reporter);
    reportWarnings(device.merge());
    settle(run, journal);
    error = result.error;
    return result;
}

} // namespace

std::string printBatch(const Document& doc, const Batch& batch, const BatchOptions& options,
                       const std::string& printerName, const std::string& jobName,
                       const Calibration& calibration, RunJournal& journal)
{
    RunPlan plan;
    plan.items = batch.items.size();
    plan.jobSize = options.jobSize > 0 ? static_cast<std::size_t>(options.jobSize) : 0;
    plan.recordOf = [&batch](std::size_t item) { return batch.journalIndexOf(item); };
    plan.titleWithoutJournal = [&](std::size_t first, std::size_t end) {
        return jobName + " "
            + recordListOf({batch.items.begin() + static_cast<std::ptrdiff_t>(first),
                            batch.items.begin() + static_cast<std::ptrdiff_t>(end)},
                           0);
    };
    FormPageDevice device(doc, calibration, journal, batch.table, batch.items, plan.recordOf,
                          startCellOf(doc, batch));
    device.setCells(batch.cells);
    g_interrupted = false;
    const auto oldInt = std::signal(SIGINT, onInterrupt);
    const auto oldTerm = std::signal(SIGTERM, onInterrupt);
    std::string error;
    const RunResult result
        = printOnQueue(doc, printerName, jobName, calibration, journal, std::move(plan), device, true, error);
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    if (error.empty() || result.error.empty())
        return error;
    const std::string last = result.sent == 0
        ? std::string("no record was sent")
        : "the last record sent is " + std::to_string(batch.items[result.sent - 1].row + 1);
    return error + "; " + last + "; to go on: --records " + recordListOf(batch.items, result.sent);
}

std::string printPage(const Document& doc, const std::string& printerName, int copies, const std::string& jobName,
                      const Calibration& calibration, RunJournal& journal)
{
    RunPlan plan;
    plan.copies = copies;
    FormPageDevice device(doc, calibration, journal);
    std::string error;
    (void)printOnQueue(doc, printerName, jobName, calibration, journal, std::move(plan), device, false, error);
    return error;
}

} // namespace ordavel::cli
