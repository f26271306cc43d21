#pragma once
// "扫描生成...": a scanned form turned into boxes of the current document.
// The scan is chosen through the prompter, the paper size in a small dialog,
// the analysis runs off the GUI thread behind a progress window that can be
// cancelled, and the proposed fields are shown on the scan to be kept,
// dropped or renamed before they become boxes.

#include "scan/scan_analysis.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;

namespace ordavel {

namespace scan {
class CaptionReader;
}

class Document;
class Prompter;
class ScanReviewState;

// The paper the scan was made of: presets of the common forms and a custom
// size. A scan that states its resolution gives its own size, shown as the
// preset it matches or as the custom size. Without one the presets are
// ordered by how well their proportions match the scan's, and the best is
// chosen only when it matches within 3 %; otherwise the custom size is
// chosen, at the best preset's width and the scan's proportions.
class ScanPaperDialog : public QDialog {
    Q_OBJECT
public:
    // The scan is `widthPx` x `heightPx` pixels at the stated dpi (0 for none).
    ScanPaperDialog(int widthPx, int heightPx, double dpiX, double dpiY, QWidget* parent = nullptr);
    explicit ScanPaperDialog(QWidget* parent = nullptr) : ScanPaperDialog(0, 0, 0, 0, parent) {}

    // Chooses entry `index` of the list as shown (the last is the custom size).
    void choosePreset(int index);
    void setCustomSize(double widthCm, double heightCm);
    scan::PaperSize paper() const;
    // The entries as shown, and the one chosen.
    std::vector<std::string> entries() const;
    int chosenEntry() const;

private:
    QComboBox* m_presets = nullptr;
    QDoubleSpinBox* m_width = nullptr;
    QDoubleSpinBox* m_height = nullptr;
    std::vector<int> m_order; // preset shown at each entry
};

// The proposals outlined on the scan with their column names. A click keeps
// or drops a proposal, a double click renames it. Where the analysis missed a
// field, a click inside a ruled cell adds one filling the cell, and a drag
// along a printed line adds an underline field over it. Shift+click names a
// proposal after the caption printed left of it or above it, Ctrl+click
// splits it where clicked, and a Ctrl+drag onto its neighbour merges the two.
class ScanProposalsDialog : public QDialog {
    Q_OBJECT
public:
    ScanProposalsDialog(const QImage& scan, std::vector<scan::ProposedField> fields, Prompter& prompter,
                        QWidget* parent = nullptr);
    ~ScanProposalsDialog() override;

    // The rules the analysis found, which the adding tools work from.
    void useRules(const scan::ScanAnalysis& analysis);

    const std::vector<scan::ProposedField>& fields() const { return m_fields; }
    bool isKept(int index) const { return m_kept[static_cast<std::size_t>(index)]; }
    // The fields still kept, in their order.
    std::vector<scan::ProposedField> keptFields() const;
    // Where field `index` is drawn, in the coordinates of the scan's view.
    QPoint centreOnView(int index) const;
    QWidget* view() const { return m_view; }

    // The field under a point of the view, -1 when none (the smallest wins).
    int fieldAt(QPoint viewPoint) const;
    void toggle(int index);
    void rename(int index);
    // Adds the field a click at a point of the view would: false when the
    // point is in no ruled cell.
    bool addCellAt(QPoint viewPoint);
    // Adds the underline field of a drag between two points of the view:
    // false when the drag follows no line.
    bool addUnderlineAlong(QPoint from, QPoint to);
    // Names field `index` after its caption; false when none is found or read.
    bool nameFromCaption(int index);
    // Cuts field `index` in two at a point of the view: false when a part would be too small.
    bool split(int index, QPoint viewPoint);
    // Field `into` grown over field `other`, which goes: false unless the two
    // share a row or a column.
    bool merge(int into, int other);
    // A point of the scan as given, in the coordinates of the view.
    QPoint toView(QPoint scanPoint) const;

private:
    friend class ScanView;
    QRectF viewRect(int index) const;
    QPoint toScan(QPoint viewPoint) const;
    void addField(const scan::PixelRect& rect, const char* kind);

    QImage m_scan;
    std::vector<scan::ProposedField> m_fields;
    std::vector<bool> m_kept;
    Prompter& m_prompter;
    QWidget* m_view = nullptr;
    double m_scale = 1.0;
    std::vector<scan::PixelRect> m_cells;
    std::vector<scan::PixelRect> m_lines;
    int m_ruleWidth = 1;
    double m_pxPerMm = 0;
    std::vector<scan::PrintedCaption> m_captions;
    scan::Picture m_grey;                          // made on the first caption read
    std::unique_ptr<scan::CaptionReader> m_reader; // loaded on the first caption read
};

// The whole command on `doc`. Returns true when boxes were added; nothing of
// the document changes when the user cancels at any step or the scan cannot be read.
// `review`, when given, keeps what the analysis found for the board's review tools.
bool scanIntoDocument(Document& doc, Prompter& prompter, QWidget* parent, ScanReviewState* review = nullptr);

} // namespace ordavel
