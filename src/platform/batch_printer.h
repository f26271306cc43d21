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

// The batch loop of every print path: draws items [from, to) on `painter`,
// a page per copy (a new page before each but the job's first, `pages`
// counting the job's pages so far), each item merged by `merge` with its
// counter values (`countersOf`, when given). After each item,
// `drawnOne(item)` says whether to go on. Returns the end of the items drawn.
std::size_t drawBatchItems(QPainter& painter, QPagedPaintDevice& device, const Document& doc,
                           const Calibration& calibration, RecordMerge& merge, const std::vector<BatchItem>& items,
                           std::size_t from, std::size_t to, const ItemCounters& countersOf, int& pages,
                           const std::function<bool(std::size_t item)>& drawnOne, int startCell = 1);

} // namespace ordavel
