#pragma once
// The barcode box on the board: the real symbol, drawn by the same code that
// prints it, and in EditMode a line under it where its data is typed.

#include "designer/box_control.h"

#include <QWidget>

class QLineEdit;

namespace ordavel {

class BarcodeControl : public QWidget, public BoxControl {
public:
    explicit BarcodeControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

    // The data line `编辑框_条码数据`, shown while entering data.
    QLineEdit* dataEdit() const { return m_edit; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeEdit();

    QLineEdit* m_edit;
    Box m_shown;
    bool m_hasShown = false;
    bool m_updating = false;
};

} // namespace ordavel
