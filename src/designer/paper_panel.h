#pragma once
// The paper panel `画板_纸张背景`: sized to the board, it carries the workbench
// and, in preview mode, shows the page as it will print: every printable box
// drawn at its PrintRect, over the background picture when that is asked for.
// On a template of several forms to a sheet the preview is the whole sheet:
// the form in each cell from the start cell on (the used cells before it
// left empty), or with data the records in the cells they print in, on the
// sheet of the current record.

#include "data/data_table.h"
#include "data/merge.h"
#include "print/print_job.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

namespace ordavel {

class BoardZoom;
class Document;

class PaperPanel : public QWidget {
    Q_OBJECT
public:
    PaperPanel(Document& document, QWidget* parent);

    // Preview background: `picture` drawn in `mode` (0 own size, 1 stretched,
    // 2 centred) under the boxes; a null picture removes it.
    void setBackgroundPicture(const QImage& picture, int mode);
    bool hasBackgroundPicture() const { return !m_picture.isNull(); }
    // Asked at each paint for what each box draws as (a data record's values);
    // without one the boxes draw as a page without data prints: no column's
    // placeholder shows.
    void setBoxView(std::function<BoxFilter()> view) { m_boxView = std::move(view); update(); }
    // The preview is drawn at this zoom (none: 1:1); it must outlive the panel.
    void setZoom(const BoardZoom* zoom) { m_zoom = zoom; }

    // The records a sheet preview puts in its cells, asked at each paint:
    // the record (row, 0-based) of each form in print order (one form a
    // copy; none without data), the current record, and the boxes as they
    // draw for a record. The sheet shown is that of the current record's
    // first form.
    struct SheetRecords {
        std::function<std::vector<int>()> rows;
        std::function<int()> current;
        std::function<BoxFilter(int)> view;
    };
    void setSheetRecords(SheetRecords records) { m_records = std::move(records); update(); }
    // The cell (1-based, across then down) the first form goes into.
    void setStartCell(int cell);
    int startCell() const { return m_startCell; }
    // Whether the preview shows a whole sheet, and its size in board pixels
    // (unzoomed); the board's size otherwise.
    bool showsSheet() const;
    QSize previewSize() const;
    // The record (row) drawn in each cell of the sheet shown, -1 for an
    // empty cell; without data 0 in each cell the template itself fills.
    std::vector<int> recordsInCells() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Document& m_document;
    QImage m_picture;
    int m_pictureMode = 0;
    void paintSheet(QPainter& painter);

    std::function<BoxFilter()> m_boxView;
    DataTable m_noData;
    RecordMerge m_withoutData{m_noData, /*countersOnly=*/true};
    const BoardZoom* m_zoom = nullptr;
    SheetRecords m_records;
    int m_startCell = 1;
};

} // namespace ordavel
