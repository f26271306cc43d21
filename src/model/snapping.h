#pragma once
// Snapping of a box being moved or sized on the board: the moving edges (or,
// for a move, the left edge, centre and right edge) are pulled to the nearest
// edge or centre of another box within a threshold, else to the nearest line
// of a millimetre grid. All values are board pixels.

#include "model/box.h"

#include <optional>
#include <vector>

namespace ordavel {

// Which edges of the rectangle follow the pointer; all four for a move.
struct MovingEdges {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;
    static MovingEdges whole() { return {true, true, true, true}; }
    bool isMove() const { return left && right && top && bottom; }
};

struct SnapOptions {
    // Grid step in board pixels per axis; 0 or less: no grid.
    double gridX = 0.0;
    double gridY = 0.0;
    // Pull to the edges and centres of `others`.
    bool toBoxes = true;
    // How far (board px) an edge is pulled to another box.
    double threshold = 5.0;
};

struct SnapResult {
    Rect rect;
    // Where a guide line is drawn: the board x of a vertical line and the
    // board y of a horizontal one, when that axis snapped.
    std::optional<int> guideX;
    std::optional<int> guideY;
};

// Grid step in board px for `millimetres` at `pxPerCm` pixels per centimetre.
double gridStep(double millimetres, double pxPerCm);

// `proposed` is where the pointer put the box; `edges` which of its edges move.
// Each axis snaps on its own; a sized box keeps at least 1 px on each axis.
SnapResult snapRect(const Rect& proposed, MovingEdges edges, const std::vector<Rect>& others,
                    const SnapOptions& options);

} // namespace ordavel
