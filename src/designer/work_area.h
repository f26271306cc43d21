#pragma once
// The background panel `画板_背景` and everything on it: the paper panel, the
// workbench, the hidden focus holder `编辑框_滚动`, the preview's check box
// `选择框_显示背景图`, the two scroll bars and the corner filler. It lays them
// out, scrolls the paper, reports the mouse position and shows each mode.
// The main window places the panel itself (backgroundPanelRect) and then calls
// layOut().

#include "model/document_observer.h"

#include <QWidget>

#include <map>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace ordavel {

class BoxView;
class Document;
class PaperPanel;
class Prompter;
class Workbench;

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

public:

    // DocumentObserver
    void pageChanged() override;
    void documentReset() override;
    void boxChanged(int index) override;
    void modeChanged(AppMode mode) override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyBoardSize();
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
    QScrollBar* m_hBar = nullptr;
    QScrollBar* m_vBar = nullptr;
    QLabel* m_filler = nullptr;
    std::map<int, std::unique_ptr<BoxView>> m_views; // by slot index
    int m_frontStackedZ = 0; // the largest zOrder a control was stacked for
    bool m_bulk = false;
    bool m_showBoardAfterBulk = false; // a mode showed the board during a bulk change
};

} // namespace ordavel
