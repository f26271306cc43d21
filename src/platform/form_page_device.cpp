#include "platform/form_page_device.h"

#include "platform/batch_printer.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"
#include "print/sheet_layout.h"

#include <algorithm>

#include <QPainter>
#include <QPrinter>

namespace ordavel {

FormPageDevice::FormPageDevice(const Document& doc, const Calibration& calibration, RunJournal& journal)
    : m_doc(doc), m_calibration(calibration), m_journal(journal), m_items{{0, 0, 1}},
      m_recordOf([](std::size_t) { return 0; }), m_page(true), m_merge(m_none, /*countersOnly=*/true)
{
}

FormPageDevice::FormPageDevice(const Document& doc, const Calibration& calibration, RunJournal& journal,
                               const DataTable& table, const std::vector<BatchItem>& items,
                               std::function<int(std::size_t item)> recordOf, int startCell)
    : m_doc(doc), m_calibration(calibration), m_journal(journal), m_items(items), m_recordOf(std::move(recordOf)),
      m_startCell(startCell), m_merge(table)
{
}

std::optional<std::size_t> FormPageDevice::draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                                const std::function<bool(std::size_t item)>& drawnOne,
                                                std::string& error)
{
    std::unique_ptr<QPrinter> pdf;
    QPrinter& printer = pagesOf(document, pdf);
    configurePrinter(printer, m_doc.page(), m_calibration.pageLengthMm);
    QPainter painter;
    if (!painter.begin(&printer)) {
        error = "the printer \"" + document.request.printer + "\" could not be opened";
        return std::nullopt;
    }
    ItemCounters countersOf;
    if (m_journal.active())
        countersOf = [this](std::size_t item) { return m_journal.countersOf(m_recordOf(item)); };
    int pages = 0;
    std::size_t drawn = first;
    if (m_page) {
        if (countersOf)
            m_merge.setCounterValues(countersOf(0));
        // A form of several to a sheet goes into the sheet's first cell.
        const bool onSheet = m_doc.page().sheet.active();
        if (onSheet)
            moveToCell(painter, sheetSlot(m_doc.page().sheet, 0), m_calibration);
        const bool complete = printPageOn(painter, m_doc, m_calibration, m_boxProgress,
                                          [this](const Box& box) -> const Box& { return m_merge.merged(box); });
        if (complete) {
            drawn = first + 1;
            pages = 1;
            if (onSheet)
                m_journal.placed(m_recordOf(first), m_sheets + 1, 1);
            m_sheets += onSheet ? 1 : 0;
            drawnOne(first);
        }
    } else {
        SheetPlacement placement;
        placement.startCell = m_firstJob ? m_startCell : 1;
        if (!m_cells.empty())
            placement.cellOf = [this](std::size_t item) { return item < m_cells.size() ? m_cells[item] : 0; };
        int sheets = 0;
        placement.placed = [&](std::size_t item, int sheet, int cell) {
            m_journal.placed(m_recordOf(item), m_sheets + sheet + 1, cell);
            sheets = std::max(sheets, sheet + 1);
        };
        drawn = drawBatchItems(painter, printer, m_doc, m_calibration, m_merge, m_items, first, end, countersOf,
                               pages, drawnOne, placement);
        m_sheets += sheets;
    }
    m_pages += pages;
    m_firstJob = false;
    if (!painter.end()) {
        error = "cannot write the print job's pages to \"" + document.pdfPath + "\"";
        return std::nullopt;
    }
    return drawn;
}

} // namespace ordavel
