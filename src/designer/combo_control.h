#pragma once
// The drop-down list: an editable combo box holding the box's items, showing
// its current text in its font. Choosing an item or typing changes the text.

#include "designer/box_control.h"

#include <QComboBox>

#include <optional>

namespace ordavel {

class ComboControl : public QComboBox, public BoxControl {
public:
    explicit ComboControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const Box& box) override;
    void readInto(BoxAttributes& attributes) const override;

private:
    bool m_updating = false;
    std::optional<FontSpec> m_font;
};

} // namespace ordavel
