#pragma once
// The keyboard in DesignMode, taken at the hidden focus holder `编辑框_滚动`,
// which holds the focus there (in EditMode the keys reach the boxes):
//   arrow             moves the selected boxes by 1 board px,
//   Shift+arrow       moves them by 10 px,
//   Ctrl+arrow        moves them by 5 px,
//   Alt+arrow         moves them by 1 px,
//   Ctrl+Shift+arrow  sizes them by 1 px (right and down grow, left and up shrink),
//   Delete            the box menu's delete command, with its question,
//   Ctrl+Z            undo; Ctrl+Y and Ctrl+Shift+Z redo.
// Moving and sizing end as a drag ends (square rule, print position following).

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace ordavel {

class BoxCommands;
class Document;
class UndoController;

class DesignKeys : public QObject {
    Q_OBJECT
public:
    // Watches `focusHolder`'s key presses. None of the arguments is owned;
    // all must outlive the keys, which are a child of `focusHolder`.
    DesignKeys(Document& doc, QWidget* focusHolder, BoxCommands& commands, UndoController& undo);

    // True while the mouse moves or sizes a box: keys then wait.
    std::function<bool()> busy;

    // One key press in DesignMode; true when it was one of the keys above.
    bool keyPressed(const QKeyEvent& event);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    Document& m_doc;
    BoxCommands& m_commands;
    UndoController& m_undo;
};

} // namespace ordavel
