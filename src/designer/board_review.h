#pragma once
// Review tools the board offers in DesignMode over a background that still
// holds what an analysis found on it (ruled cells, printed lines, captions).
// The mouse controller turns gestures into these calls; each call is one
// change of the document, so one undo step. Points and boxes are in board px.

#include <QPoint>

namespace ordavel {

class BoardReview {
public:
    virtual ~BoardReview() = default;
    // Whether the tools apply to the board as it is now.
    virtual bool present() const = 0;
    // A box filling the ruled cell under `at`, inset by the rule: its index,
    // or 0 when `at` is in no cell. A cell that has its box already selects
    // that box and returns its index.
    virtual int addCellAt(QPoint at) = 0;
    // An underline box over the printed line a drag from `from` to `to`
    // followed: its index, or 0 when the drag followed no line.
    virtual int addUnderlineAlong(QPoint from, QPoint to) = 0;
    // Names box `index` after the caption printed left of it or above it;
    // false when none is found or read.
    virtual bool nameFromCaption(int index) = 0;
    // Cuts box `index` in two at `at`: the new second box's index, or 0 when
    // a part would be too small.
    virtual int split(int index, QPoint at) = 0;
    // Box `into` grown over box `other`, which goes: false unless the two
    // share a row or a column.
    virtual bool merge(int into, int other) = 0;
};

} // namespace ordavel
