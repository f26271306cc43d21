#include "platform/batch_printer.h"

#include "data/merge.h"
#include "platform/printer.h"
#include "print/sheet_layout.h"

#include <algorithm>

#include <QPainter>
#include <QPrinter>


namespace ordavel {

std::size_t drawBatchItems(QPainter& painter, QPagedPaintDevice& device, const Document& doc,
                           const Calibration& calibration, RecordMerge& merge, const std::vector<BatchItem>& items,
                           std::size_t from, std::size_t to, const ItemCounters& countersOf, int& pages,
                           const std::function<bool(std::size_t item)>& drawnOne, const SheetPlacement& placement)
{
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    const SheetLayout& layout = doc.page().sheet;
    const int cells = layout.active() ? layout.cells() : 0;
    int sheet = -1;   // the job's sheet being filled, from 0
    int lastCell = 0; // the last cell drawn on it, from 1
    std::size_t at = from;
    while (at < to) {
        const BatchItem& item = items[at];
        merge.setRecord(item.row, item.number);
        if (countersOf)
            merge.setCounterValues(countersOf(at));
        for (int copy = 0; copy < item.copies; ++copy) {
            if (cells == 0) {
                printFormOn(painter, device, doc, calibration, view, pages++);
                continue;
            }
            int wanted = copy == 0 && placement.cellOf ? placement.cellOf(at) : 0;
            if (wanted < 0 || wanted > cells)
                wanted = 0;
            int cell = 0;
            if (sheet < 0) {
                sheet = 0;
                cell = wanted > 0 ? wanted : std::clamp(placement.startCell, 1, cells);
                if (pages > 0)
                    device.newPage();
            } else if (wanted > 0 ? wanted > lastCell : lastCell < cells) {
                cell = wanted > 0 ? wanted : lastCell + 1;
            } else {
                ++sheet;
                cell = wanted > 0 ? wanted : 1;
                device.newPage();
            }
            lastCell = cell;
            ++pages;
            painter.save();
            moveToCell(painter, sheetSlot(layout, cell - 1), calibration);
            printPageOn(painter, doc, calibration, {}, view);
            painter.restore();
            if (copy == 0 && placement.placed)
                placement.placed(at, sheet, cell);
        }
        if (!drawnOne(at++))
            break;
    }
    return at;
}

} // namespace ordavel
