#pragma once
// The on-screen view of one box slot: the control of the box's type and its
// eight sizing handles, all children of the workbench. The model is the source
// of truth; sync() re-reads it, and in EditMode the control writes the user's
// edits back into the box's attributes.

#include <QObject>
#include <QPointer>

#include <array>

class QWidget;

namespace ordavel {

class Document;
class Prompter;

class BoxView : public QObject {
    Q_OBJECT
public:
    // Creates the control of the box in slot `index` as a child of `workbench`, and its eight
    // 5 x 5 handles (also children of `workbench`). `focusHolder` is the hidden
    // `编辑框_滚动`: in DesignMode a box that gets the focus passes it there.
    // doc, workbench, focusHolder and prompter must outlive the view.
    BoxView(Document& doc, int index, QWidget* workbench, QWidget* focusHolder, Prompter& prompter);
    ~BoxView() override; // deletes the control and the handles
    // Re-reads the box from the model: type (control recreated when it changed), EditRect,
    // every attribute of the type, visibility (hidden for a free slot), handle places and
    // visibility, and design or edit behaviour from doc.appMode(). Does not disturb a control
    // the user is typing into when nothing changed (no cursor jumps, no feedback loop).
    void sync();
    int index() const;
    QWidget* control() const;
    QWidget* handle(int which) const; // order of the model's Handle enum

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    Document& m_doc;
    int m_index;
    QWidget* m_workbench;
    QWidget* m_focusHolder;
    Prompter& m_prompter;
    QPointer<QWidget> m_control;
    int m_controlType = 0; // BoxType code the control was made for
    std::array<QPointer<QWidget>, 8> m_handles{};
    bool m_syncing = false; // set while sync() writes into the control
};

} // namespace ordavel
