#pragma once
// Guide lines on the board while a box snaps.

#include <QWidget>

#include <optional>

namespace ordavel {

class BoardZoom;

// The guide lines of a snap: a vertical and a horizontal line across the whole
// board where the moved or sized box snapped. Lies over the boxes and lets
// every mouse event through.
class SnapGuides : public QWidget {
    Q_OBJECT
public:
    SnapGuides(const BoardZoom& zoom, QWidget* workbench);
    // Board px of each line; none hides it. With both none the guides hide.
    void showGuides(std::optional<int> x, std::optional<int> y);
    std::optional<int> guideX() const { return m_x; }
    std::optional<int> guideY() const { return m_y; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const BoardZoom& m_zoom;
    std::optional<int> m_x;
    std::optional<int> m_y;
};

} // namespace ordavel
