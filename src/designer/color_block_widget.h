#pragma once
// The colour block: a rectangle filled with the box's colour. A left click
// (press and release inside) calls onClicked; BoxView opens the colour chooser
// from there in EditMode.

#include "designer/box_control.h"

#include <QWidget>

#include <functional>

namespace ordavel {

class ColorBlockWidget : public QWidget, public BoxControl {
public:
    explicit ColorBlockWidget(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const Box& box) override;
    void readInto(BoxAttributes& attributes) const override;

    std::function<void()> onClicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Color m_color = kBlack;
    bool m_pressed = false;
};

} // namespace ordavel
