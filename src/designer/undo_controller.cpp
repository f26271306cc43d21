#include "designer/undo_controller.h"

#include "model/document.h"

#include <QApplication>

namespace ordavel {

namespace {
constexpr int kRetryMs = 20; // a busy designer is asked again after this long
}

UndoController::UndoController(Document& doc, QObject* parent)
    : QObject(parent), m_doc(doc), m_mode(doc.appMode())
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &UndoController::idle);
    m_history.reset(m_doc, !m_doc.modified());
    m_doc.addObserver(this);
}

UndoController::~UndoController() { m_doc.removeObserver(this); }

void UndoController::changed()
{
    if (m_applying || m_suspended || m_doc.appMode() != AppMode::DesignMode)
        return;
    m_pending = true;
    m_idle.start(0);
}

void UndoController::idle()
{
    if (!m_pending)
        return;
    // A walk lets events run in the middle of its command: ask again as soon
    // as events run outside it.
    if (walking && walking()) {
        m_idle.start(0);
        return;
    }
    // A drag, a modal dialog (property dialog, page setup, a question) or a
    // menu belongs to the command that opened it.
    if ((dragging && dragging()) || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_idle.start(kRetryMs);
        return;
    }
    flush();
}

void UndoController::flush()
{
    if (m_suspended || !m_pending)
        return;
    m_pending = false;
    m_history.record(m_doc);
}

void UndoController::undo()
{
    if (m_suspended || m_doc.appMode() != AppMode::DesignMode)
        return;
    flush();
    m_applying = true;
    m_history.undo(m_doc);
    m_applying = false;
}

void UndoController::redo()
{
    if (m_suspended || m_doc.appMode() != AppMode::DesignMode)
        return;
    flush();
    m_applying = true;
    m_history.redo(m_doc);
    m_applying = false;
}

void UndoController::reset()
{
    m_suspended = false;
    m_pending = false;
    m_idle.stop();
    m_mode = m_doc.appMode();
    m_history.reset(m_doc, !m_doc.modified());
}

void UndoController::boxChanged(int) { changed(); }

void UndoController::pageChanged() { changed(); }

void UndoController::titleChanged(const std::string&, bool modified)
{
    if (modified || m_applying || m_suspended)
        return;
    // Saved (or reset): what the document holds now is what the file holds.
    if (m_mode == AppMode::DesignMode)
        flush();
    else
        m_history.rebase(m_doc);
    m_history.markSaved();
}

void UndoController::modeChanged(AppMode mode)
{
    if (m_suspended || mode == m_mode)
        return;
    if (m_mode == AppMode::DesignMode)
        flush(); // the last design command is a step of its own
    if (mode == AppMode::DesignMode)
        m_history.rebase(m_doc); // data entry is not undone here
    m_mode = mode;
}

void UndoController::documentReset()
{
    if (!m_suspended)
        reset();
}

} // namespace ordavel
