#include "platform/batch_printer.h"

#include "data/merge.h"
#include "platform/printer.h"

#include <QPainter>
#include <QPrinter>


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

} // namespace ordavel
