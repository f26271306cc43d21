#include "batch.h"

#include "platform/cups_jobs.h"
#include "template_input.h"

#include "data/data_source.h"
#include "file/file_system.h"
#include "data/merge.h"
#include "platform/printer.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

namespace ordavel::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted = true; }

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

// Whether the file ends in "%%EOF" (and line breaks), as a finished PDF does;
// only its tail is read.
bool endsWithEof(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
    const std::streamoff tail = std::min<std::streamoff>(size, 64);
    std::string bytes(static_cast<std::size_t>(tail), '\0');
    if (tail == 0 || !file.seekg(size - tail) || !file.read(bytes.data(), tail))
        return false;
    const std::size_t end = bytes.find_last_not_of("\r\n");
    return end != std::string::npos && end >= 4 && bytes.compare(end - 4, 5, "%%EOF") == 0;
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
    if (!error.empty())
        return std::nullopt;
    if (batch.pageCount() == 0) {
        error = "没有要打印的记录";
        return std::nullopt;
    }
    return batch;
}

std::string writeBatchPdf(const Document& doc, const Batch& batch, const std::string& path,
                          const Calibration& calibration)
{
    // The pages stream into a temporary beside the target, which is checked
    // (links followed, a read-only file refused) before any page is drawn.
    FileReplacement out(path);
    if (!out.status().ok())
        return "cannot write \"" + path + "\": " + describeFileStatus(out.status());
    RecordMerge merge(batch.table);
    bool ok = false;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(out.temporaryPath()));
        printer.setCreator(QStringLiteral("Ordavel"));
        configurePrinter(printer, doc.page(), calibration.pageLengthMm);
        QPainter painter;
        if (painter.begin(&printer)) {
            bool first = true;
            for (const BatchItem& item : batch.items) {
                merge.setRecord(item.row, item.number);
                for (int copy = 0; copy < item.copies; ++copy) {
                    if (!first)
                        printer.newPage();
                    first = false;
                    drawRecordPage(painter, doc, merge, calibration);
                }
            }
            ok = painter.end();
        }
    }
    reportWarnings(merge);
    // The PDF engine reports no write errors: a complete file ends in "%%EOF".
    if (!ok || !endsWithEof(out.temporaryPath())) {
        out.abandon();
        return "cannot write \"" + path + "\": "
            + (ok ? "the PDF came out incomplete (is the disk full?)" : "the PDF could not be made");
    }
    if (const FileStatus done = out.commit(); !done.ok())
        return "cannot write \"" + path + "\": " + describeFileStatus(done);
    return {};
}

std::string writeBatchPng(const Document& doc, const Batch& batch, const std::string& path, int dpi,
                          const Calibration& calibration)
{
    const PaperSize paper = paperSize(doc.page()).value_or(PaperSize{2100, 2970});
    const auto pixels = [dpi](int tenthsMm) {
        return static_cast<int>(std::lround(tenthsMm * static_cast<double>(dpi) / 254.0));
    };
    const int width = pixels(paper.widthTenthsMm);
    const int height = pixels(paper.heightTenthsMm);
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > 256LL * 1024 * 1024)
        return "page too large for a picture at " + std::to_string(dpi) + " dpi";
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return "not enough memory for the picture";
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    RecordMerge merge(batch.table);
    int page = 0;
    std::string error;
    for (const BatchItem& item : batch.items) {
        merge.setRecord(item.row, item.number);
        for (int copy = 0; copy < item.copies && error.empty(); ++copy) {
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                drawRecordPage(painter, doc, merge, calibration);
            }
            const std::string name = numberedName(path, ++page);
            QSaveFile file(QString::fromStdString(name));
            if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
                error = "cannot write \"" + name + "\"";
        }
    }
    reportWarnings(merge);
    return error;
}

std::string printBatch(const Document& doc, const Batch& batch, const BatchOptions& options,
                       const std::string& printerName, const std::string& jobName,
                       const Calibration& calibration)
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
    for (std::size_t start = 0; start < total && error.empty(); start += jobSize) {
        if (g_interrupted) {
            error = "interrupted";
            break;
        }
        const std::size_t end = std::min(total, start + jobSize);
        QPrinter printer(QPrinter::HighResolution);
        if (!printerName.empty())
            printer.setPrinterName(name);
        if (!printer.isValid() || printer.printerName().isEmpty()) {
            error = printerName.empty() ? "no default printer" : "no printer named \"" + printerName + "\"";
            break;
        }
        const std::string refused = "the printer \"" + printer.printerName().toStdString() + "\" did not accept the job";
        printer.setDocName(QString::fromStdString(jobName + " " + recordListOf({batch.items.begin() + static_cast<std::ptrdiff_t>(start), batch.items.begin() + static_cast<std::ptrdiff_t>(end)}, 0)));
        configurePrinter(printer, doc.page(), calibration.pageLengthMm);
        QPainter painter;
        if (!painter.begin(&printer)) {
            error = refused;
            break;
        }
        // An interruption ends the job after the record being drawn: a job
        // cannot be taken back from CUPS once begun (QPrinter::abort does not
        // stop it), so the records drawn so far are sent and reported as sent.
        std::size_t drawn = start;
        bool first = true;
        while (drawn < end) {
            const BatchItem& item = batch.items[drawn];
            merge.setRecord(item.row, item.number);
            for (int copy = 0; copy < item.copies; ++copy) {
                if (!first)
                    printer.newPage();
                first = false;
                drawRecordPage(painter, doc, merge, calibration);
            }
            std::fprintf(stderr, "%zu/%zu\n", ++drawn, total);
            if (g_interrupted)
                break;
        }
        if (!painter.end()) {
            error = refused;
        } else if (const std::string reason = cupsJobRefusal(); !reason.empty()) {
            error = refused + " (" + reason + ")";
        } else {
            sent = drawn;
            if (g_interrupted && sent < total)
                error = "interrupted";
        }
    }
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    reportWarnings(merge);
    if (error.empty())
        return {};
    const std::string last = sent == 0 ? std::string("no record was sent")
                                       : "the last record sent is " + std::to_string(batch.items[sent - 1].row + 1);
    return error + "; " + last + "; to go on: --records " + recordListOf(batch.items, sent);
}

} // namespace ordavel::cli
