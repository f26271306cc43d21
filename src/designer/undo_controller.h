#pragma once
// Undo and redo in DesignMode. Watches the document and, once a command is
// over (the event loop is idle, no walk over the boxes or drag is running and
// no dialog is open), records the document's state as one undo step when it
// changed. Changes made in EditMode (data entry, whose controls keep their own
// undo) are taken into the present state without a step when the designer
// comes back. Save marks the present state as the saved one; New and Open
// start an empty history.

#include "model/document_observer.h"
#include "model/undo_history.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace ordavel {

class Document;

class UndoController : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    // `doc` is not owned and must outlive the controller.
    UndoController(Document& doc, QObject* parent);
    ~UndoController() override;

    // True while a command is still under way and its changes must not be cut
    // into steps yet: a walk over the boxes letting events run (walking), the
    // mouse moving or sizing a box or drawing a band (dragging). Unset: never.
    std::function<bool()> walking;
    std::function<bool()> dragging;

    // Ctrl+Z and Ctrl+Y in DesignMode: one step back or forward. Nothing
    // happens in the other modes or when there is no such step.
    void undo();
    void redo();
    // Records what changed since the last step, now.
    void flush();
    // Stops watching until reset(): a template is being loaded.
    void suspend() { m_suspended = true; }
    // An empty history whose only state is the document as it is, saved.
    void reset();

    const UndoHistory& history() const { return m_history; }

    // DocumentObserver
    void boxChanged(int index) override;
    void pageChanged() override;
    void titleChanged(const std::string& title, bool modified) override;
    void modeChanged(AppMode mode) override;
    void documentReset() override;

private:
    void changed();
    void idle();

    Document& m_doc;
    UndoHistory m_history;
    QTimer m_idle;
    bool m_pending = false;   // DesignMode changes not recorded yet
    bool m_applying = false;  // undo or redo is writing the document
    bool m_suspended = false;
    AppMode m_mode;
};

} // namespace ordavel
