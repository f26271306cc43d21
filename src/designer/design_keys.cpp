#include "designer/design_keys.h"

#include "designer/box_commands.h"
#include "designer/undo_controller.h"
#include "model/document.h"

#include <QKeyEvent>
#include <QWidget>

namespace ordavel {

namespace {

constexpr int kCtrlStep = 5; // px
constexpr int kAltStep = 1;  // px
constexpr int kPlainStep = 1;  // px
constexpr int kShiftStep = 10; // px

// The unit step of an arrow key, (0, 0) for any other key.
QPoint arrowStep(int key)
{
    switch (key) {
    case Qt::Key_Left: return {-1, 0};
    case Qt::Key_Right: return {1, 0};
    case Qt::Key_Up: return {0, -1};
    case Qt::Key_Down: return {0, 1};
    default: return {0, 0};
    }
}

} // namespace

DesignKeys::DesignKeys(Document& doc, QWidget* focusHolder, BoxCommands& commands, UndoController& undo)
    : QObject(focusHolder), m_doc(doc), m_commands(commands), m_undo(undo)
{
    focusHolder->installEventFilter(this);
}

bool DesignKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        return keyPressed(*static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}

bool DesignKeys::keyPressed(const QKeyEvent& event)
{
    if (m_doc.appMode() != AppMode::DesignMode || (busy && busy()))
        return false;
    // Arrows of the number block carry the keypad flag; they count the same.
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event.key();

    if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
        if (!m_doc.selection().empty())
            m_commands.deleteSelected();
        return true;
    }
    if (key == Qt::Key_Z && mods == Qt::ControlModifier) {
        m_undo.undo();
        return true;
    }
    if ((key == Qt::Key_Y && mods == Qt::ControlModifier)
        || (key == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
        m_undo.redo();
        return true;
    }

    const QPoint step = arrowStep(key);
    if (step.isNull())
        return false;
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier))
        m_doc.nudgeSelection(0, 0, step.x(), step.y());
    else if (mods == Qt::ControlModifier)
        m_doc.nudgeSelection(step.x() * kCtrlStep, step.y() * kCtrlStep, 0, 0);
    else if (mods == Qt::AltModifier)
        m_doc.nudgeSelection(step.x() * kAltStep, step.y() * kAltStep, 0, 0);
    else if (mods == Qt::NoModifier)
        m_doc.nudgeSelection(step.x() * kPlainStep, step.y() * kPlainStep, 0, 0);
    else if (mods == Qt::ShiftModifier)
        m_doc.nudgeSelection(step.x() * kShiftStep, step.y() * kShiftStep, 0, 0);
    else
        return false;
    return true;
}

} // namespace ordavel
