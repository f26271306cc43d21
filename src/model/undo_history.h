#pragma once
// Undo and redo of the designer's changes, as whole document states: the page
// settings and every box slot. Consecutive states share what did not change
// (each box, the page, picture bytes), so a step costs only the boxes it
// changed, and a picture is held once however many steps keep it.
//
// The document stays the one source of truth: a state is taken from it after
// a change (record) and written back into it by undo and redo, which report
// every slot and the page they change to the document's observers. Slot
// numbers are part of the state: a deleted box comes back into its own slot.
// The selection is not part of it; undo and redo clear it.

#include "model/document.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace ordavel {

class UndoHistory {
public:
    static constexpr std::size_t kDefaultLimit = 128;

    // Keeps at most `limit` undo steps (at least 1); the oldest go first.
    explicit UndoHistory(std::size_t limit = kDefaultLimit);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // Forgets every step. The document's present state becomes the only one
    // and counts as saved when `saved` is true.
    void reset(Document& doc, bool saved = true);
    // Takes the document's state after a change. When it differs from the
    // present state it becomes a new undo step (redo steps are dropped) and
    // true comes back. `doc` is only read; it is not const because picture
    // bytes are set aside for the comparison and put back.
    bool record(Document& doc);
    // Takes the document's state as the present one without a step: changes
    // that are not undone here (data entry). Earlier steps keep their states.
    void rebase(Document& doc);
    // The present state is the one on disk: undo or redo back to it clears
    // DocumentModified.
    void markSaved();
    bool atSavedState() const;

    bool canUndo() const { return m_present > 0; }
    bool canRedo() const { return m_present + 1 < m_states.size(); }
    std::size_t undoCount() const { return m_present; }
    std::size_t redoCount() const { return m_states.size() - m_present - 1; }

    // Writes the state before (after) the present one into the document: the
    // selection is cleared, changed slots and the page are written and
    // reported, and DocumentModified is set unless the state is the saved
    // one. False, changing nothing, when there is no such step.
    bool undo(Document& doc);
    bool redo(Document& doc);

    // Picture and background bytes the states hold, each shared block counted once.
    std::size_t pictureBytesHeld() const;

private:
    struct PageState;
    struct SlotState;
    struct State;

    std::shared_ptr<const State> take(Document& doc, const State* previous) const;
    void apply(Document& doc, const State& state) const;

    std::size_t m_limit;
    std::vector<std::shared_ptr<const State>> m_states; // oldest first, never empty after reset
    std::size_t m_present = 0;
    std::shared_ptr<const State> m_saved;
};

} // namespace ordavel
