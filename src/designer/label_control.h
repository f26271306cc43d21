#pragma once
// The label: caption in its font and colour on its background colour, aligned
// and optionally word-wrapped, with the effect 0 normal, 1 sunken, 2 raised or
// 3 shadow (the caption casts a grey shadow one pixel down and right). With
// cells the caption is drawn one character a cell, as it prints.

#include "designer/box_control.h"

#include <QFrame>

namespace ordavel {

class LabelControl : public QFrame, public BoxControl {
public:
    explicit LabelControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const ordavel::Box& box) override;
    void readInto(BoxAttributes& attributes) const override;

    // Qt alignment flags of the label's hAlign (0 left, 1 centre, 2 right) and vAlign (0 top, 1 centre, 2 bottom).
    static Qt::Alignment alignment(int hAlign, int vAlign);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BoxAttributes m_shown;
    bool m_hasShown = false;
};

} // namespace ordavel
