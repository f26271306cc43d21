#pragma once
// The rubber band on the workbench: four 1-pixel black lines
// (`外形框_矩形_上边线`, `外形框_矩形_下边线`, `外形框_矩形_左边线`,
// `外形框_矩形_右边线`), children of the workbench and hidden except while the
// user drags. The band is kept in board pixels; the lines are placed at the
// view pixels of the board's zoom.

#include "model/box.h"

#include <array>

class QWidget;

namespace ordavel {

class BoardZoom;

class RubberBand {
public:
    // Creates the four hidden lines on `workbench`, which owns them. `zoom`
    // (none: 1:1) must outlive the band.
    explicit RubberBand(QWidget* workbench, const BoardZoom* zoom = nullptr);

    // Lines at `x`, `y` (workbench px) with zero size, shown above every other child.
    void start(int x, int y);
    // Lines around the rectangle spanned by the start and (x, y); a drag with a
    // zero extent on either axis gives the band (0, 0, 0, 0).
    void track(int startX, int startY, int x, int y);
    // Moves the lines out of sight to the band left -10, top -10,
    // right 0, bottom 0, then hides them.
    void finish();
    // The band's left, top, width and height in board px.
    Rect rect() const { return m_rect; }
    bool isVisible() const;

    enum Line : int { Top = 0, Bottom, Left, Right, LineCount };
    QWidget* line(int which) const { return m_lines[static_cast<std::size_t>(which)]; }

private:
    // Places the lines around left, top, right, bottom.
    void place(int left, int top, int right, int bottom);

    std::array<QWidget*, LineCount> m_lines{};
    const BoardZoom* m_zoom;
    Rect m_rect;
};

} // namespace ordavel
