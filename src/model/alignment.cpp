#include "model/alignment.h"

#include "model/document.h"
#include "model/units.h"

#include <algorithm>
#include <vector>

namespace ordavel {

namespace {

const std::string kLeft = "左边";
const std::string kTop = "顶边";
const std::string kWidth = "宽度";
const std::string kHeight = "高度";

bool isLiveBox(const Document& doc, int index)
{
    return index >= 1 && index <= doc.slotCount() && doc.box(index).inUse;
}

// The position that centres `extent` pixels on `boardExtent`; halves go away from zero.
int centredStart(int boardExtent, int extent)
{
    return static_cast<int>(roundTo((static_cast<double>(boardExtent) - extent) / 2.0, 0));
}

// One axis of the group: the name of the position, its start and its extent.
struct Axis {
    const std::string& position;
    int (*start)(const Rect&);
    int (*extent)(const Rect&);
};

const Axis kHorizontal{kLeft, [](const Rect& r) { return r.left; }, [](const Rect& r) { return r.width; }};
const Axis kVertical{kTop, [](const Rect& r) { return r.top; }, [](const Rect& r) { return r.height; }};

void centreSelection(Document& doc, const Axis& axis, int boardExtent)
{
    // A copy: yielding lets the window repaint, which must not disturb the walk.
    const std::vector<int> selected = doc.selection();
    if (selected.size() < 2)
        return;
    int minStart = axis.start(doc.box(selected.front()).editRect);
    // The union rectangle on this axis; empty rectangles add nothing to it.
    bool haveUnion = false;
    long long unionStart = 0;
    long long unionEnd = 0;
    for (int index : selected) {
        const Rect& r = doc.box(index).editRect;
        minStart = std::min(minStart, axis.start(r));
        if (r.width <= 0 || r.height <= 0)
            continue;
        const long long start = axis.start(r);
        const long long end = start + axis.extent(r);
        unionStart = haveUnion ? std::min(unionStart, start) : start;
        unionEnd = haveUnion ? std::max(unionEnd, end) : end;
        haveUnion = true;
    }
    const double unionExtent = haveUnion ? static_cast<double>(unionEnd - unionStart) : 0.0;
    const int newStart = static_cast<int>(roundTo((boardExtent - unionExtent) / 2.0, 0));
    const int delta = newStart - minStart;
    for (int index : selected) {
        doc.setProperty(index, axis.position, axis.start(doc.box(index).editRect) + delta);
        doc.yieldNow();
    }
}

} // namespace

void alignSelection(Document& doc, AlignCommand command)
{
    const std::vector<int> selected = doc.selection();
    if (selected.size() < 2)
        return;
    // The reference's values are read once, before anything moves.
    const Rect reference = doc.box(selected.back()).editRect;
    for (std::size_t i = 0; i + 1 < selected.size(); ++i) {
        const int index = selected[i];
        const Rect& own = doc.box(index).editRect;
        switch (command) {
        case AlignCommand::Left:
            doc.setProperty(index, kLeft, reference.left);
            break;
        case AlignCommand::Right:
            doc.setProperty(index, kLeft, reference.left + reference.width - own.width);
            break;
        case AlignCommand::Top:
            doc.setProperty(index, kTop, reference.top);
            break;
        case AlignCommand::Bottom:
            doc.setProperty(index, kTop, reference.top + reference.height - own.height);
            break;
        case AlignCommand::SameWidth:
            doc.setProperty(index, kWidth, reference.width);
            break;
        case AlignCommand::SameHeight:
            doc.setProperty(index, kHeight, reference.height);
            break;
        case AlignCommand::SameSize:
            doc.setProperty(index, kHeight, reference.height);
            doc.setProperty(index, kWidth, reference.width);
            break;
        }
        doc.yieldNow();
    }
}

void centreSelectionHorizontally(Document& doc, int boardWidth) { centreSelection(doc, kHorizontal, boardWidth); }

void centreSelectionVertically(Document& doc, int boardHeight) { centreSelection(doc, kVertical, boardHeight); }

void centreBoxHorizontally(Document& doc, int index, int boardWidth)
{
    if (isLiveBox(doc, index))
        doc.setProperty(index, kLeft, centredStart(boardWidth, doc.box(index).editRect.width));
}

void centreBoxVertically(Document& doc, int index, int boardHeight)
{
    if (isLiveBox(doc, index))
        doc.setProperty(index, kTop, centredStart(boardHeight, doc.box(index).editRect.height));
}

} // namespace ordavel
