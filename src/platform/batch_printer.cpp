#include "platform/batch_printer.h"

#include "data/merge.h"
#include "platform/printer.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

namespace ordavel {

BatchPrintResult printBatchJob(const Document& doc, const DataTable& table, const std::vector<BatchItem>& items,
                               QPrinter& printer, QWidget* progressParent, const Calibration& calibration)
{
    BatchPrintResult result;
    configurePrinter(printer, doc.page(), calibration.pageLengthMm);
    const std::time_t began = std::time(nullptr);
    QPainter painter;
    if (!painter.begin(&printer))
        return result;

    const std::unique_ptr<QProgressDialog> progress = makePrintProgress(progressParent, static_cast<int>(items.size()));

    RecordMerge merge(table);
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    bool cancelled = false;
    for (const BatchItem& item : items) {
        merge.setRecord(item.row, item.number);
        for (int copy = 0; copy < item.copies; ++copy) {
            if (result.pages > 0)
                printer.newPage();
            printPageOn(painter, doc, calibration, {}, view);
            ++result.pages;
        }
        ++result.recordsDrawn;
        if (progress) {
            progress->setLabelText(QStringLiteral("正在打印... %1/%2").arg(result.recordsDrawn).arg(items.size()));
            progress->setValue(result.recordsDrawn);
            QCoreApplication::processEvents();
            if (progress->wasCanceled()) {
                cancelled = true;
                break;
            }
        }
    }
    result.warnings = merge.warnings();
    if (cancelled) {
        result.takenBack = abandonJob(painter, printer, began);
        return result;
    }
    result.completed = painter.end();
    return result;
}

} // namespace ordavel
