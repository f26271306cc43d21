#pragma once
// The alignment, same-size and centring commands. They move and size boxes
// through Document::setProperty with the geometry names, so every changed box
// is refreshed (handles, status text, a following print position, modified).
// All values are integer pixels of EditRect.

namespace ordavel {

class Document;

enum class AlignCommand {
    Left,       // left = reference left
    Right,      // right edges meet the reference's right edge
    Top,        // top = reference top
    Bottom,     // bottom edges meet the reference's bottom edge
    SameWidth,  // width = reference width
    SameHeight, // height = reference height
    SameSize,   // height, then width, of the reference
};

// The reference box is the last entry of the Selection and is never changed;
// the others are set in Selection order, yielding after each. Nothing happens
// with fewer than two boxes selected.
void alignSelection(Document& doc, AlignCommand command);

// Moves the selected boxes together so that the rectangle around them is
// centred on a board `boardWidth` (or `boardHeight`) pixels wide (high); the
// group keeps its arrangement and may end up partly off the board when it is
// larger. Nothing happens with fewer than two boxes selected.
void centreSelectionHorizontally(Document& doc, int boardWidth);
void centreSelectionVertically(Document& doc, int boardHeight);

// Centres the one box `index` on the board; the Selection is not consulted.
// An index that is not a box in use changes nothing.
void centreBoxHorizontally(Document& doc, int index, int boardWidth);
void centreBoxVertically(Document& doc, int index, int boardHeight);

} // namespace ordavel
