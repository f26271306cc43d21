#pragma once
// The picture box: its background colour, and the picture decoded from the
// box's bytes shown by the display mode (sType) 0 at its own size in the top-left
// corner, 1 stretched over the box, 2 centred at its own size. Without a
// picture (or with bytes that do not decode) only the background shows.

#include "designer/box_control.h"

#include <QFrame>
#include <QImage>

#include <string>

namespace ordavel {

class PictureControl : public QFrame, public BoxControl {
public:
    explicit PictureControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const ordavel::Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_pictureBytes; // what m_image was decoded from
    QImage m_image;
    int m_mode = -1;
    QColor m_background;
};

} // namespace ordavel
