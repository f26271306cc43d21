#pragma once
// The zoom of the board and the preview: one mapping from board pixels (the
// units of EditRect and of the saved template) to view pixels on the screen and
// back. Board pixel b covers the view pixels [ceil(b*z), ceil((b+1)*z)), so a
// view pixel maps back to the board pixel it shows, and at z >= 1 every board
// pixel maps back to itself. The zoom never changes the model.

#include "model/box.h"

#include <vector>

namespace ordavel {

inline constexpr int kZoomMinPercent = 25;
inline constexpr int kZoomMaxPercent = 800;

class BoardZoom {
public:
    BoardZoom() = default;
    // Clamped to 25..800 %.
    explicit BoardZoom(int percent) { setPercent(percent); }

    int percent() const { return m_percent; }
    double factor() const { return m_percent / 100.0; }
    // Clamps to 25..800 %; returns whether the zoom changed.
    bool setPercent(int percent);

    // Board px -> view px: the first view pixel of board pixel `board`.
    int toView(int board) const;
    // View px -> the board pixel that view pixel shows (floor).
    int toBoard(int view) const;
    // A view position with sub-pixel part (a mouse position) -> board px.
    int toBoard(double view) const;
    // A board rectangle -> the view rectangle covering its pixels exactly.
    Rect toView(const Rect& board) const;

private:
    int m_percent = 100;
};

// The zoom steps offered (percent, ascending) and the neighbours of a zoom
// among them: the next step above or below `percent`, clamped to the ends.
const std::vector<int>& zoomSteps();
int nextZoomStep(int percent);
int previousZoomStep(int percent);

} // namespace ordavel
