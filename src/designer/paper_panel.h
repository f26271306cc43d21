#pragma once
// The paper panel `画板_纸张背景`: sized to the board, it carries the workbench
// and, in preview mode, shows the page as it will print: every printable box
// drawn at its PrintRect, over the background picture when that is asked for.

#include "data/data_table.h"
#include "data/merge.h"
#include "print/print_job.h"

#include <QImage>
#include <QWidget>

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Document& m_document;
    QImage m_picture;
    int m_pictureMode = 0;
    std::function<BoxFilter()> m_boxView;
    DataTable m_noData;
    RecordMerge m_withoutData{m_noData, /*countersOnly=*/true};
    const BoardZoom* m_zoom = nullptr;
};

} // namespace ordavel
