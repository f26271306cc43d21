#pragma once
// The on-screen view of one box slot: the control of the box's type and its
// eight sizing handles, all children of the workbench. The model is the source
// of truth; sync() re-reads it, and the control writes the user's edits back
// into the box's attributes at once (reported with doc.boxEdited in EditMode).
//
// Design behaviour (DesignMode): four-way move cursor, key presses discarded,
// mouse and wheel events kept from the control and reported through the
// signals, focus passed on to the focus holder. Edit behaviour (EditMode and
// PreviewMode): an ordinary input control.

#include <QCursor>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class QMouseEvent;
class QWheelEvent;
class QWidget;

namespace ordavel {

class BoardZoom;
class BoxControl;
class Document;
class Prompter;

class BoxView : public QObject {
    Q_OBJECT
public:
    // Creates the control of the box in slot `index` as a child of `workbench`; its eight
    // 5 x 5 handles (also children of `workbench`) follow when the box is first selected. `focusHolder` is the hidden
    // `编辑框_滚动`: in DesignMode a box that gets the focus passes it there.
    // The caller owns the view; doc, focusHolder and prompter must outlive it.
    // `zoom` maps the box's board pixels to the workbench's view pixels; none
    // (nullptr) shows the board 1:1. It must outlive the view.
    BoxView(Document& doc, int index, QWidget* workbench, QWidget* focusHolder, Prompter& prompter,
            const BoardZoom* zoom = nullptr);
    ~BoxView() override; // deletes the control and the handles
    // Re-reads the box from the model: type (control recreated when it changed), EditRect,
    // every attribute of the type, visibility (hidden for a free slot), handle places and
    // visibility, and design or edit behaviour from doc.appMode(). Does not disturb a control
    // the user is typing into when nothing changed (no cursor jumps, no feedback loop).
    void sync();
    int index() const;
    // Boxes drawn see-through in DesignMode, so that the background shows beneath;
    // takes effect at the next sync().
    void setSeeThrough(bool seeThrough) { m_seeThrough = seeThrough; }
    // nullptr while the slot has never held a box.
    QWidget* control() const;
    QWidget* handle(int which) const; // order of the model's Handle enum
    // The box's zOrder the control was last stacked for; none for a control
    // just made, which lies in front of every other child of the workbench.
    std::optional<int> stackedZ() const { return m_stackedZ; }
    void setStackedZ(int z) { m_stackedZ = z; }

signals:
    // A mouse press, release, move or double click on the control or a widget inside it
    // (positions in that widget's coordinates; use globalPosition()). In DesignMode the
    // control never sees these events; in the other modes it handles them after the signal.
    void controlMouse(int index, QMouseEvent* event);
    // The same for a handle; handles never pass mouse events on.
    void handleMouse(int index, int which, QMouseEvent* event);
    // A wheel turned over the control: kept from the control in DesignMode, and from drop-down
    // lists and date boxes in every mode (the wheel scrolls the page, not their value).
    void controlWheel(int index, QWheelEvent* event);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void createControl();
    void createHandles();
    void placeHandles();
    void destroyControl();
    void applyBehaviour(bool design);
    void applySeeThrough(bool on);
    // The box font at the zoom, so that the text keeps its size on the board.
    void applyZoomedFont();
    void watchChildren();
    void contentEdited();
    void chooseBlockColor();
    void focusArrived();
    bool designMode() const;

    Document& m_doc;
    int m_index;
    QWidget* m_workbench;
    QWidget* m_focusHolder;
    Prompter& m_prompter;
    const BoardZoom* m_zoom;
    bool m_seeThrough = false;
    bool m_seeThroughShown = false;
    int m_fontPercent = 100; // the zoom the control's font was last set for
    BoxControl* m_box = nullptr; // the control's box side; same object as m_control
    QPointer<QWidget> m_control;
    int m_controlKind = -1;
    std::optional<bool> m_designBehaviour; // behaviour last applied to the control
    std::array<QPointer<QWidget>, 8> m_handles{};
    bool m_handlesCreated = false;
    std::optional<int> m_stackedZ;
    bool m_syncing = false; // set while sync() writes into the control
    // The cursor each widget of the control had when made (nothing: none of its own),
    // put back when the box leaves design behaviour.
    std::vector<std::pair<QPointer<QWidget>, std::optional<QCursor>>> m_ownCursors;
};

} // namespace ordavel
