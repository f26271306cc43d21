#pragma once
// Mouse work on the workbench in DesignMode: choosing a box type on the control
// toolbar and drawing the box with a rubber band, clicking and Shift-clicking
// boxes, selecting with the rubber band, and moving and sizing a box by its
// control and its eight handles. Moving and sizing are tracked here from the
// press to the release (the mouse is grabbed by the workbench meanwhile); the
// square rule and the refresh follow the release (Document::endDrag).
// Every position is taken in board px through the work area's zoom; moving and
// sizing snap to the grid and the other boxes as the work area is set, with a
// guide line where they snapped, and place freely while Alt is held.
//
// Over a scan whose analysis is still at hand (BoardReview), the board also
// offers review gestures: a double click in an empty ruled cell adds a box
// filling it, a Ctrl+drag along a printed line an underline box over it,
// Shift+double click on a box names it from its caption, Ctrl+double click
// splits it there and a Ctrl+drag of a box onto a neighbour in its row or
// column merges the two. Where no cell, line or neighbour is under the
// pointer the gestures do what they did without the scan.
//
// It also takes the right clicks and double clicks of the workbench, the paper
// panel and the background panel. What those open (page menu, page setup,
// property dialogs) belongs to other parts of the designer and is reported
// through the signals below.

#include "model/box.h"
#include "model/document_observer.h"

#include <QObject>
#include <QPoint>
#include <QPointF>

#include <memory>
#include <optional>

class QMouseEvent;
class QWidget;

namespace ordavel {

class BoardReview;
class BoxView;
class Document;
class RubberBand;
class WorkArea;

// Hit-test codes of the move and size loop: the caption moves, the others size
// by the named edges.
enum HitCode : int {
    HitCaption = 2,
    HitLeft = 10,
    HitRight = 11,
    HitTop = 12,
    HitTopLeft = 13,
    HitTopRight = 14,
    HitBottom = 15,
    HitBottomLeft = 16,
    HitBottomRight = 17,
};

// The hit-test code a handle (Handle enum of the model) sizes with.
int handleHitCode(int handle);
// The control's rectangle after the pointer moved by (dx, dy) px from where a
// move (HitCaption) or size loop started on `start`. Sizing moves only the named
// edges; an edge stops 1 px before the opposite one, so a box never vanishes.
Rect draggedRect(const Rect& start, int hitCode, int dx, int dy);

class MouseController : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    // Watches the work area's workbench, paper panel and background panel and
    // every box view it makes. `document` and `area` must outlive the controller;
    // the controller is a child of `area` and dies with it.
    MouseController(Document& document, WorkArea& area);
    ~MouseController() override;

    // A caption of the control toolbar: one of the seven type buttons ("编辑框",
    // "标签", "图片框", "外形框", "组合框", "日期框", "颜色框") makes its type the
    // next box to draw and sets the workbench's drawing cursor. Returns false,
    // changing nothing, for any other caption.
    bool chooseBoxType(const QString& caption);
    // The BoxType code of the next box to draw, -1 for none.
    int pendingBoxType() const { return m_pendingBoxType; }
    bool bandActive() const { return m_bandActive; }
    // Index of the box being moved or sized, 0 when none.
    int draggedBox() const;
    // Where the last right press on the workbench happened (workbench px), for the page menu.
    QPoint menuPoint() const { return m_menuPoint; }
    const RubberBand& rubberBand() const { return *m_band; }
    // The review tools of the scan behind the board; none: no review gestures.
    // Not owned; it must outlive the controller or be unset first.
    void setReview(BoardReview* review) { m_review = review; }

signals:
    // Double click on a box in DesignMode: its property dialog is to open.
    void boxDoubleClicked(int index);
    // Double click on the workbench with no type chosen (selection cleared).
    void pageSetupRequested();
    // Double click on the background panel with no type chosen (selection cleared).
    void openRequested();
    // Right press on the workbench in DesignMode with no type chosen (selection
    // cleared); `menuPoint` in workbench px.
    void pageMenuRequested(const QPoint& menuPoint);

public:
    // DocumentObserver
    void documentReset() override;
    void modeChanged(AppMode mode) override;

private:
    struct Drag {
        int index = 0;
        int hitCode = HitCaption;
        QPoint startBoard; // board px under the pointer at the press
        Rect startRect;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    void watchView(BoxView* view);
    bool workbenchMouse(QMouseEvent* event);
    bool paperMouse(QMouseEvent* event);
    bool backgroundMouse(QMouseEvent* event);
    void controlMouse(int index, QMouseEvent* event);
    void handleMouse(int index, int which, QMouseEvent* event);

    void bandStart(const QPoint& at, bool shift);
    void bandTrack(const QPoint& at);
    void bandEnd(bool shift);
    void cancelDrawing();
    void boxClick(int index, bool shift, const QPointF& global);
    void handlePress(int index, int which, const QPointF& global);
    void dragNow(int index, int hitCode, const QPointF& global);
    // Follows the pointer during a move or size; true when a drag is running.
    // Snaps unless Alt is in `modifiers`.
    bool dragTrack(const QPointF& global, Qt::KeyboardModifiers modifiers);
    // Ends a running drag at `global`: square rule, refresh, select.
    bool dragEnd(const QPointF& global, Qt::KeyboardModifiers modifiers);
    // Where the snapping puts `proposed` for the running drag.
    Rect snapped(const Rect& proposed, Qt::KeyboardModifiers modifiers);
    void dropInteractions();
    // The board px under a global pointer position.
    QPoint onWorkbench(const QPointF& global) const;
    // A position in workbench view px -> board px.
    QPoint toBoard(const QPointF& view) const;
    bool designMode() const;
    bool reviewing() const;
    // The review gestures of a double click on box `index`; false when none applies.
    bool reviewDoubleClick(int index, QMouseEvent* event);
    // The box other than `except` under `at` (board px), the smallest; 0 when none.
    int boxAt(const QPoint& at, int except) const;

    Document& m_doc;
    WorkArea& m_area;
    QWidget* m_workbench;
    std::unique_ptr<RubberBand> m_band;
    int m_pendingBoxType = -1;
    bool m_bandActive = false;
    int m_bandStartX = 0;
    int m_bandStartY = 0;
    std::optional<Drag> m_drag;
    QPoint m_menuPoint;
    BoardReview* m_review = nullptr;
};

} // namespace ordavel
