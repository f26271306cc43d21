#pragma once
// The "缩小字体适应" option of the text box and label dialogs: a text too wide
// for its box prints at a smaller size, down to the size given here. Nothing
// reaches the box until the dialog applies it.

#include <QGroupBox>

class QCheckBox;
class QSpinBox;

namespace ordavel {

struct BoxAttributes;

class ShrinkGroup : public QGroupBox {
public:
    // Smallest size offered when the option is switched on for a box without it.
    static constexpr int kDefaultSmallest = 6;

    explicit ShrinkGroup(QWidget* parent = nullptr);

    void load(const BoxAttributes& attributes);
    // shrinkToFit: the smallest size in points, 0 with the option off.
    void store(BoxAttributes& attributes) const;

private:
    void follow();

    QCheckBox* m_shrink;
    QSpinBox* m_smallest;
};

} // namespace ordavel
