#pragma once
// A batch through the merge and the print path into one PDF, a page per
// record, numbered from 1: what the batch benchmarks time.

#include "data/merge.h"
#include "platform/painter_surface.h"
#include "platform/printer.h"
#include "print/print_job.h"

#include <QDir>
#include <QPainter>
#include <QPrinter>

#include <functional>

namespace ordavel::bench {

// Writes the batch to `name` in the temporary folder; with `countersOf`,
// record `row` prints those counter values.
inline void batchToPdf(const Document& doc, const DataTable& table, const char* name,
                       const std::function<RecordMerge::CounterValues(int row)>& countersOf = {})
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::temp().filePath(QString::fromLatin1(name)));
    configurePrinter(printer, doc.page());
    QPainter painter(&printer);
    PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
    RecordMerge merge(table);
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    for (int row = 0; row < table.recordCount(); ++row) {
        if (row > 0)
            printer.newPage();
        merge.setRecord(row, row + 1);
        if (countersOf)
            merge.setCounterValues(countersOf(row));
        printPage(doc, surface, {}, view);
    }
    painter.end();
}

} // namespace ordavel::bench
