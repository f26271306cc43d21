#pragma once
// Printing the records of a batch as one print job on a QPrinter.

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
class QPrinter;
class QWidget;

namespace ordavel {
class PrintJournalEntry;
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

struct BatchPrintResult {
    bool completed = false; // every page was drawn and the job ended well
    int recordsDrawn = 0;   // items whose pages were all drawn
    int pages = 0;
    bool takenBack = false; // after a Cancel: nothing of the job reaches the paper
    std::vector<std::string> warnings; // from the merge (missing pictures, bad dates)
};

// One page per item copy in one job, each record merged into the document
// (which is not changed). With a progressParent a progress window
// `进度框_打印` counts the records and its Cancel takes the whole job back
// where it has not printed yet. A
// calibration other than the identity corrects every page and the paper height.
// With an active journal entry (its records journalFirst, journalFirst + 1,
// ... are the items) the job is named after them, prints their counter
// values, keeps their fields as drawn, and is handed over to the entry.
// On a template of several forms to a sheet the first form goes into cell
// startCell of the first sheet.
BatchPrintResult printBatchJob(const Document& doc, const DataTable& table, const std::vector<BatchItem>& items,
                               QPrinter& printer, QWidget* progressParent,
                               const Calibration& calibration = Calibration{}, PrintJournalEntry* journal = nullptr,
                               int journalFirst = 0, int startCell = 1);

} // namespace ordavel
