#pragma once
// The print run's page device for a template: draws a batch's items (each
// record merged, with the counter values its journal record took) or one
// page, on the job's exact paper (no margins, no scaling), corrected by the
// printer's calibration, into the queue document's PDF.

#include "data/data_table.h"
#include "data/merge.h"
#include "data/record_list.h"
#include "model/document.h"
#include "print/calibration.h"
#include "print_run/print_run.h"

#include <functional>
#include <string>
#include <vector>

namespace ordavel {

class FormPageDevice : public PageDevice {
public:
    // One page without data (item 0), printing the counter values of journal record 0.
    FormPageDevice(const Document& doc, const Calibration& calibration, RunJournal& journal);
    // Items of a batch; item N prints the counter values of journal record recordOf(N).
    // On a template of several forms to a sheet, the first job starts in cell startCell.
    FormPageDevice(const Document& doc, const Calibration& calibration, RunJournal& journal,
                   const DataTable& table, const std::vector<BatchItem>& items,
                   std::function<int(std::size_t item)> recordOf, int startCell = 1);

    std::optional<std::size_t> draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                     const std::function<bool(std::size_t item)>& drawnOne,
                                     std::string& error) override;

    // On a template of several forms to a sheet: the cell (from 1) each item
    // goes into, a new sheet whenever it does not come after the last one's;
    // 0 for an item that takes the next cell. Without it every item takes the next.
    void setCells(std::vector<int> cells) { m_cells = std::move(cells); }

    // Asked after each box of a page without data; false stops the page
    // (nothing of it counts as drawn).
    void setBoxProgress(std::function<bool(int box)> progress) { m_boxProgress = std::move(progress); }
    // Pages drawn so far.
    int pages() const { return m_pages; }

    // The merge drawn with, for its warnings (missing pictures, bad dates).
    const RecordMerge& merge() const { return m_merge; }

private:
    const Document& m_doc;
    const Calibration& m_calibration;
    RunJournal& m_journal;
    const DataTable m_none;
    std::vector<BatchItem> m_items;
    std::function<int(std::size_t)> m_recordOf;
    int m_startCell = 1;
    bool m_page = false;
    bool m_firstJob = true;
    int m_pages = 0;
    std::vector<int> m_cells;
    int m_sheets = 0; // the sheets of the jobs drawn so far: each job starts a new one
    std::function<bool(int)> m_boxProgress;
    RecordMerge m_merge;
};

} // namespace ordavel
