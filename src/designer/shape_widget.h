#pragma once
// The shape box: one of the eight shapes (ShapeKind) drawn with the line style,
// width (used for solid lines only, as on paper), line colour and fill colour.
// Square kinds use the smaller side from the top-left corner; lines run along
// the top (horizontal) or left (vertical) edge. The line effects sunken and
// raised etch lines and square-cornered outlines in 3D (on screen only; paper
// shows plain lines). Outside the shape the widget is transparent.

#include "designer/box_control.h"

#include <QWidget>

namespace ordavel {

class ShapeWidget : public QWidget, public BoxControl {
public:
    explicit ShapeWidget(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const Box& box) override;
    void readInto(BoxAttributes& attributes) const override;

    // Qt pen style of a LineStyle code; NoPen for 0 and unknown codes.
    static Qt::PenStyle penStyle(int lineStyle);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BoxAttributes m_shown;
    bool m_hasShown = false;
};

} // namespace ordavel
