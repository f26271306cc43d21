#pragma once
// What the analysis of a scan found, kept after "扫描生成" made boxes of it,
// for as long as that scan stays the document's background: the ruled cells,
// the printed lines, the captions, the rule width and the scan in grey to
// read a caption from. It is dropped when the background changes and when a
// file is opened or a new one is made. With it the board offers the review
// tools (BoardReview) that add, name, split and merge boxes.

#include "designer/board_review.h"
#include "model/document_observer.h"
#include "scan/scan_analysis.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ordavel {

namespace scan {
class CaptionReader;
}

class Document;
struct Rect;

class ScanReviewState : public QObject, public DocumentObserver, public BoardReview {
    Q_OBJECT
public:
    // `doc` is not owned and must outlive the state.
    explicit ScanReviewState(Document& doc, QObject* parent = nullptr);
    ~ScanReviewState() override;

    // Keeps what `analysis` found on `picture` (the scan as read), which the
    // document has just taken as its background.
    void keep(const scan::ScanAnalysis& analysis, const scan::Picture& picture);
    void drop();
    // How the gestures go: a line each for the board's tooltip, and all in
    // one short line for the status bar.
    static QString gestureHint();
    static QString gestureSummary();

    // A box's place on the board in pixels of the scan, and back.
    scan::PixelRect toScan(const Rect& board) const;
    Rect toBoard(const scan::PixelRect& pixels) const;

    // BoardReview
    bool present() const override { return m_present; }
    int addCellAt(QPoint at) override;
    int addUnderlineAlong(QPoint from, QPoint to) override;
    bool nameFromCaption(int index) override;
    int split(int index, QPoint at) override;
    bool merge(int into, int other) override;

    // DocumentObserver
    void pageChanged() override;
    void documentReset() override;

signals:
    void presentChanged(bool present);

private:
    // Scan pixels per board pixel, across and down.
    double scaleX() const;
    double scaleY() const;
    double pxPerMm() const;
    // A new text box over `field`, bound to a column no other box uses.
    int addField(const scan::PixelRect& rect, const char* kind);
    // `base` as a column, with a number added when another box has it.
    std::string freeColumn(const std::string& base, int except) const;

    Document& m_doc;
    bool m_present = false;
    std::size_t m_background = 0; // the hash of the background the analysis was made on
    int m_width = 0;               // the scan's size in pixels
    int m_height = 0;
    scan::PaperSize m_paper;
    std::vector<scan::PixelRect> m_cells;
    std::vector<scan::PixelRect> m_lines;
    std::vector<scan::PrintedCaption> m_captions;
    int m_ruleWidth = 1;
    int m_underlineHeight = 0; // the form's underline fields' usual height, 0: none known
    scan::Picture m_grey;
    std::unique_ptr<scan::CaptionReader> m_reader; // loaded on the first caption read
};

} // namespace ordavel
