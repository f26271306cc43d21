#include "batch.h"

#include "page_output.h"

#include "platform/batch_printer.h"
#include "platform/cups_jobs.h"
#include "template_input.h"

#include "data/data_source.h"
#include "data/format_check.h"
#include "data/merge.h"
#include "data/text_fit_check.h"
#include "platform/print_measure.h"
#include "platform/printer.h"

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

std::string printBatch(const Document& doc, const Batch& batch, const BatchOptions& options,
                       const std::string& printerName, const std::string& jobName,
                       const Calibration& calibration, PrintJournalEntry& journal)
{
    const QString name = QString::fromStdString(printerName);
    if (!printerName.empty() && !QPrinterInfo::availablePrinterNames().contains(name))
        return "no printer named \"" + printerName + "\"";
    g_interrupted = false;
    const auto oldInt = std::signal(SIGINT, onInterrupt);
    const auto oldTerm = std::signal(SIGTERM, onInterrupt);

    const std::size_t total = batch.items.size();
    const std::size_t jobSize = options.jobSize > 0 ? static_cast<std::size_t>(options.jobSize) : total;
    RecordMerge merge(batch.table);
    std::size_t sent = 0; // items in jobs the printer accepted
    std::string error;
    std::size_t start = 0;
    while (start < total && error.empty()) {
        if (g_interrupted) {
            error = "interrupted";
            break;
        }
        // A printer job holds up to jobSize items whose journal records follow each other.
        std::size_t end = start + 1;
        while (end < total && end - start < jobSize
               && batch.journalIndexOf(end) == batch.journalIndexOf(end - 1) + 1)
            ++end;
        QPrinter printer(QPrinter::HighResolution);
        if (!printerName.empty())
            printer.setPrinterName(name);
        if (!printer.isValid() || printer.printerName().isEmpty()) {
            error = printerName.empty() ? "no default printer" : "no printer named \"" + printerName + "\"";
            break;
        }
        const std::string refused = "the printer \"" + printer.printerName().toStdString() + "\" did not accept the job";
        const std::string title = journal.active()
            ? journal.cupsJobName(batch.journalIndexOf(start), batch.journalIndexOf(end - 1), jobName)
            : jobName + " " + recordListOf({batch.items.begin() + static_cast<std::ptrdiff_t>(start), batch.items.begin() + static_cast<std::ptrdiff_t>(end)}, 0);
        printer.setDocName(QString::fromStdString(title));
        configurePrinter(printer, doc.page(), calibration.pageLengthMm);
        const std::time_t handedAt = std::time(nullptr);
        QPainter painter;
        if (!painter.begin(&printer)) {
            error = refused;
            break;
        }
        // An interruption ends the job after the record being drawn: a job
        // cannot be taken back from CUPS once begun (QPrinter::abort does not
        // stop it), so the records drawn so far are sent and reported as sent.
        int pages = 0;
        // Only the first job starts on a partly used sheet.
        const std::size_t drawn = drawBatchItems(
            painter, printer, doc, calibration, merge, batch.items, start, end, &journal,
            [&batch](std::size_t item) { return batch.journalIndexOf(item); }, pages, [total](std::size_t item) {
                std::fprintf(stderr, "%zu/%zu\n", item + 1, total);
                return !g_interrupted;
            }, start == 0 ? startCellOf(doc, batch) : 1);
        const int firstRecord = batch.journalIndexOf(start);
        const int lastRecord = batch.journalIndexOf(drawn - 1);
        if (!painter.end()) {
            error = refused;
        } else if (const std::string reason = cupsJobRefusal(); !reason.empty()) {
            error = refused + " (" + reason + ")";
        } else {
            journal.handedOver(firstRecord, lastRecord, false, printer.printerName().toStdString(), title, handedAt);
            sent = drawn;
            if (g_interrupted && sent < total)
                error = "interrupted";
        }
        if (sent < drawn)
            journal.failed(firstRecord, lastRecord, JournalOutcome::Failed, error);
        start = drawn;
    }
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    // Records that were never handed over, run by run of journal records.
    for (std::size_t at = std::max(sent, start); at < total;) {
        std::size_t to = at + 1;
        while (to < total && batch.journalIndexOf(to) == batch.journalIndexOf(to - 1) + 1)
            ++to;
        journal.failed(batch.journalIndexOf(at), batch.journalIndexOf(to - 1), JournalOutcome::Cancelled,
                       error.empty() ? std::string("not sent") : error);
        at = to;
    }
    reportWarnings(merge);
    if (error.empty())
        return {};
    const std::string last = sent == 0 ? std::string("no record was sent")
                                       : "the last record sent is " + std::to_string(batch.items[sent - 1].row + 1);
    return error + "; " + last + "; to go on: --records " + recordListOf(batch.items, sent);
}

void settleJournal(PrintJournalEntry& journal)
{
    journal.settle(std::chrono::seconds(kJournalSettleSeconds));
    journal.finish();
    // The pages are out: the search index takes in the records (a chunk of them) now.
    if (Journal* written = journal.journal(); written != nullptr && journal.active())
        written->indexSearch();
    if (const std::string problem = journal.takeProblem(); !problem.empty())
        std::fprintf(stderr, "ordavel-cli: print journal: %s (the print went ahead)\n", problem.c_str());
}

} // namespace ordavel::cli
