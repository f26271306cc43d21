#pragma once
// A ruler along the top or left edge of the board, in centimetres of the
// paper: board pixels turn into centimetres with the page factors, and the
// ruler follows the board's zoom and scrolling. A red marker shows where the
// mouse is on the board.

#include <QWidget>

#include <optional>

namespace ordavel {

class BoardZoom;

// Children of the background panel with this property set to true take no
// mouse event of their own: a press on them is a press on the bare panel.
inline constexpr const char* kPassesMouseToPanel = "passesMouseToPanel";

class Ruler : public QWidget {
    Q_OBJECT
public:
    // `zoom` must outlive the ruler.
    Ruler(Qt::Orientation orientation, const BoardZoom& zoom, QWidget* parent);

    // Where board pixel 0 lies in the ruler's own px, the board's length in
    // board px and the board px per centimetre along the ruler.
    void setBoard(int origin, int boardLength, double pxPerCm);
    // The mouse at this board px; none hides the marker.
    void setMarker(std::optional<int> boardPx);

    Qt::Orientation orientation() const { return m_orientation; }
    int origin() const { return m_origin; }
    std::optional<int> marker() const { return m_marker; }
    // The ruler's px where the mark of `cm` centimetres lies.
    double positionOf(double cm) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
    const BoardZoom& m_zoom;
    int m_origin = 0;
    int m_boardLength = 0;
    double m_pxPerCm = 96.0 / 2.54;
    std::optional<int> m_marker;
};

} // namespace ordavel
