#pragma once
// The background panel `画板_背景` and everything on it: the paper panel, the
// workbench, the hidden focus holder `编辑框_滚动`, the preview's check box
// `选择框_显示背景图`, the two scroll bars and the corner filler. It lays them
// out, scrolls the paper, reports the mouse position and shows each mode.
// The main window places the panel itself (backgroundPanelRect) and then calls
// layOut().
//
// It also holds the tools of precise placement: the zoom of the board and the
// preview, the rulers along the board's top and left edges (the paper, the
// bars and the filler are laid out in the rest of the panel), the snapping
// settings and guide lines, the see-through switch, and the status read-out
// of the mouse and the current box in centimetres of the paper.

#include "model/board_zoom.h"
#include "model/document_observer.h"

#include <QWidget>

#include <map>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QSpinBox;
class QToolBar;
class QWheelEvent;

namespace ordavel {

class BoxView;
class Document;
class PaperPanel;
class Prompter;
class Ruler;
class SnapGuides;
class Workbench;

// Thickness of the rulers, px.
inline constexpr int kRulerThickness = 18;

class WorkArea : public QWidget, public DocumentObserver {
    Q_OBJECT
public:
    // `document` and `prompter` are not owned and must outlive the work area.
    WorkArea(Document& document, Prompter& prompter, QWidget* parent);
    ~WorkArea() override;

    // Steps 3 to 7 of the layout: paper position, scroll bars and filler.
    void layOut();
    // Visibility and contents of a mode (after the toolbars and the layout).
    void showMode(AppMode mode);
    // Before entering the preview: paper back at (5, 5), both bars at 0.
    void resetScrolling();
    // One mouse-wheel event; `delta` > 0 scrolls up. Nothing happens while the
    // vertical bar is hidden: the board then fits.
    void applyWheel(int delta);

    // Zoom in percent, 25..800. `anchor` (work-area px, default the middle of
    // the visible part) keeps the board point under it where it is.
    int zoomPercent() const { return m_zoom.percent(); }
    const BoardZoom& zoom() const { return m_zoom; }
    void setZoom(int percent, std::optional<QPoint> anchor = std::nullopt);
    void zoomIn(std::optional<QPoint> anchor = std::nullopt);
    void zoomOut(std::optional<QPoint> anchor = std::nullopt);
    // Where board pixel (0, 0) lies in work-area px.
    QPoint boardOrigin() const;

    // Snapping while moving and sizing: to a grid of `snapGridMm` millimetres
    // (0: no grid) and to the other boxes. Both off: no snapping. The snapping
    // box offers: off, boxes only, and each grid together with the boxes.
    double snapGridMm() const { return m_snapGridMm; }
    bool snapToBoxes() const { return m_snapToBoxes; }
    void setSnapping(double gridMm, bool toBoxes);
    SnapGuides* snapGuides() const { return m_guides; }

    // Boxes drawn see-through in DesignMode ("透明显示").
    bool seeThrough() const { return m_seeThrough; }
    void setSeeThrough(bool on);

    // The widgets the main window puts up: the zoom box and the centimetre
    // read-out for the status bar; the see-through switch and the snapping
    // choice go onto `toolbar`.
    QComboBox* zoomBox() const { return m_zoomBox; }
    // The box the mouse is moving or sizing (0: none): the read-out shows it
    // while it is deselected for the drag.
    void setDraggedBox(int index);
    QLabel* placementStatus() const { return m_placementStatus; }
    void addPlacementTools(QToolBar* toolbar);
    QAction* seeThroughAction() const { return m_seeThroughAction; }
    QComboBox* snapBox() const { return m_snapBox; }
    Ruler* topRuler() const { return m_topRuler; }
    Ruler* leftRuler() const { return m_leftRuler; }

    PaperPanel* paperPanel() const { return m_paper; }
    Workbench* workbench() const { return m_workbench; }
    QLineEdit* focusHolder() const { return m_focusHolder; }
    QCheckBox* backgroundCheck() const { return m_backgroundCheck; }
    QScrollBar* hBar() const { return m_hBar; }
    QScrollBar* vBar() const { return m_vBar; }
    QLabel* filler() const { return m_filler; }
    // The view of slot `index`, nullptr while the slot never held a box.
    BoxView* boxView(int index) const;
    // Many boxes are about to change at once (a template is loaded): the views
    // follow only at endBulkChange, in one pass with the board's painting off.
    void beginBulkChange();
    void endBulkChange();

signals:
    // A view was made for a slot; the mouse handling of the designer connects to it.
    void boxViewCreated(BoxView* view);
    void zoomChanged(int percent);

public:

    // DocumentObserver
    void pageChanged() override;
    void documentReset() override;
    void boxChanged(int index) override;
    void modeChanged(AppMode mode) override;
    void statusTextChanged(int panel, const std::string& text) override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPlacementTools();
    // A wheel turn from any part of the page: Ctrl zooms around `at` (work-area
    // px), otherwise the page scrolls.
    void wheelTurned(const QWheelEvent& event, const QPoint& at);
    void updateRulers();
    // The mouse over the board at `board` px; none: off the board.
    void showMouse(std::optional<QPoint> board);
    void showPlacement();
    void applyBoardSize();
    // The preview's check box and start cell at the paper's top right.
    void placePreviewTools();
    void showBackgroundInPreview(bool show);
    void syncBox(int index);
    void syncAllBoxes();
    // Puts the control of slot `index` at its place in the model's stacking order.
    void stackBox(int index, BoxView& view);
    // Puts every live box's control at its place in the stacking order.
    void stackAllBoxes();

    Document& m_document;
    Prompter& m_prompter;
    PaperPanel* m_paper = nullptr;
    Workbench* m_workbench = nullptr;
    QLineEdit* m_focusHolder = nullptr;
    QCheckBox* m_backgroundCheck = nullptr;
    QSpinBox* m_startCellBox = nullptr;
    QScrollBar* m_hBar = nullptr;
    QScrollBar* m_vBar = nullptr;
    QLabel* m_filler = nullptr;
    BoardZoom m_zoom;
    Ruler* m_topRuler = nullptr;
    Ruler* m_leftRuler = nullptr;
    QWidget* m_rulerCorner = nullptr;
    SnapGuides* m_guides = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QComboBox* m_snapBox = nullptr;
    QAction* m_seeThroughAction = nullptr;
    QLabel* m_placementStatus = nullptr;
    double m_snapGridMm = 0.0;
    bool m_snapToBoxes = true;
    bool m_seeThrough = false;
    QString m_mouseCm; // the mouse part of the read-out
    int m_draggedBox = 0;
    std::map<int, std::unique_ptr<BoxView>> m_views; // by slot index
    int m_frontStackedZ = 0; // the largest zOrder a control was stacked for
    bool m_bulk = false;
    bool m_showBoardAfterBulk = false; // a mode showed the board during a bulk change
};

} // namespace ordavel
