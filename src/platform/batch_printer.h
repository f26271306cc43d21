#pragma once
// Drawing the records of a batch, a page per copy, on a printer or a PDF.

#include "data/data_table.h"
#include "data/record_list.h"
#include "model/document.h"
#include "print/calibration.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace ordavel {
class RecordMerge;
}

namespace ordavel {

// The counter values item N prints (those its journal record took); none
// when no journal is kept.
using ItemCounters = std::function<std::vector<std::pair<std::string, std::int64_t>>(std::size_t item)>;

// Where a job's forms go on a template of several forms to a sheet. Each
// form takes the next cell (across, then down), the job's first one
// `startCell`, unless its item asks for a cell: then it goes there, on a new
// sheet when that cell does not come after the last one drawn on this one.
struct SheetPlacement {
    int startCell = 1;
    // The cell (from 1) item N's first form asks for; 0, or none: the next.
    std::function<int(std::size_t item)> cellOf;
    // Item N's first form went on the job's sheet `sheet` (from 0) in cell `cell` (from 1).
    std::function<void(std::size_t item, int sheet, int cell)> placed;
};

// The batch loop of every print path: draws items [from, to) on `painter`,
// a form per copy (a page each, or on a template of several forms to a sheet
// a cell each as `placement` says, a new sheet on a new page; `pages`
// counting the job's forms so far), each item merged by `merge` with its
// counter values (`countersOf`, when given). After each item,
// `drawnOne(item)` says whether to go on. Returns the end of the items drawn.
std::size_t drawBatchItems(QPainter& painter, QPagedPaintDevice& device, const Document& doc,
                           const Calibration& calibration, RecordMerge& merge, const std::vector<BatchItem>& items,
                           std::size_t from, std::size_t to, const ItemCounters& countersOf, int& pages,
                           const std::function<bool(std::size_t item)>& drawnOne,
                           const SheetPlacement& placement = {});

} // namespace ordavel
