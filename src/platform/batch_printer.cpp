#include "platform/batch_printer.h"

#include "data/merge.h"
#include "platform/cups_jobs.h"
#include "platform/print_journal.h"
#include "platform/printer.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

namespace ordavel {

std::size_t drawBatchItems(QPainter& painter, QPagedPaintDevice& device, const Document& doc,
                           const Calibration& calibration, RecordMerge& merge, const std::vector<BatchItem>& items,
                           std::size_t from, std::size_t to, const ItemCounters& countersOf, int& pages,
                           const std::function<bool(std::size_t item)>& drawnOne, int startCell)
{
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    std::size_t at = from;
    while (at < to) {
        const BatchItem& item = items[at];
        merge.setRecord(item.row, item.number);
        if (countersOf)
            merge.setCounterValues(countersOf(at));
        for (int copy = 0; copy < item.copies; ++copy)
            printFormOn(painter, device, doc, calibration, view, pages++, startCell);
        if (!drawnOne(at++))
            break;
    }
    return at;
}

BatchPrintResult printBatchJob(const Document& doc, const DataTable& table, const std::vector<BatchItem>& items,
                               QPrinter& printer, QWidget* progressParent, const Calibration& calibration,
                               PrintJournalEntry* journal, int journalFirst, int startCell)
{
    BatchPrintResult result;
    const bool journaled = journal != nullptr && journal->active() && !items.empty();
    // Journal records journalFirst... are the items, in order.
    const int first = journalFirst;
    const int last = journalFirst + static_cast<int>(items.size()) - 1;
    if (journaled)
        printer.setDocName(QString::fromStdString(journal->cupsJobName(first, last, printer.docName().toStdString())));
    configurePrinter(printer, doc.page(), calibration.pageLengthMm);
    const std::time_t began = std::time(nullptr);
    const bool toFile = printer.outputFormat() != QPrinter::NativeFormat;
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (journaled)
            journal->failed(first, last, JournalOutcome::Failed, "the printer could not be opened");
        return result;
    }

    const std::unique_ptr<QProgressDialog> progress = makePrintProgress(progressParent, static_cast<int>(items.size()));

    RecordMerge merge(table);
    bool cancelled = false;
    ItemCounters countersOf;
    if (journaled)
        countersOf = [journal, first](std::size_t item) { return journal->countersOf(first + static_cast<int>(item)); };
    drawBatchItems(painter, printer, doc, calibration, merge, items, 0, items.size(), countersOf, result.pages,
                   [&](std::size_t) {
                       ++result.recordsDrawn;
                       if (!progress)
                           return true;
                       progress->setLabelText(
                           QStringLiteral("正在打印... %1/%2").arg(result.recordsDrawn).arg(items.size()));
                       progress->setValue(result.recordsDrawn);
                       QCoreApplication::processEvents();
                       cancelled = progress->wasCanceled();
                       return !cancelled;
                   }, startCell);
    result.warnings = merge.warnings();
    if (cancelled) {
        result.takenBack = abandonJob(painter, printer, began);
        if (journaled) {
            // What was drawn went to the printer unless the queue took it back.
            if (!result.takenBack && result.recordsDrawn > 0)
                journal->handedOver(first, first + result.recordsDrawn - 1, toFile, printer.printerName().toStdString(),
                                    printer.docName().toStdString(), began);
            const int from = first + (result.takenBack ? 0 : result.recordsDrawn);
            if (from <= last)
                journal->failed(from, last, JournalOutcome::Cancelled, "cancelled while printing");
        }
        return result;
    }
    result.completed = painter.end();
    if (journaled) {
        if (result.completed && (toFile || cupsJobRefusal().empty()))
            journal->handedOver(first, last, toFile, printer.printerName().toStdString(), printer.docName().toStdString(),
                                began);
        else
            journal->failed(first, last, JournalOutcome::Failed,
                            toFile ? std::string("the file could not be written") : "the printer did not accept the job");
    }
    return result;
}

} // namespace ordavel
