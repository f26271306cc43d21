#pragma once
// The dialogs of the boxes that print graphics: picture box, shape box and
// colour block. All three have a print-time width and height.

#include "dialogs/property_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace ordavel {

class ColorButton;
class DataFieldList;

class PictureDialog : public PropertyDialog {
public:
    PictureDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    void chooseFile();
    void clearPicture();
    void setSizeFieldsEnabled(bool enabled);

    QLineEdit* m_path;
    QPushButton* m_chooseButton;
    QCheckBox* m_autoSize;
    ColorButton* m_background;
    DataFieldList* m_dataField;
};

class ShapeDialog : public PropertyDialog {
public:
    ShapeDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    void lineStyleChanged();

    QComboBox* m_shape;
    ColorButton* m_lineColor;
    ColorButton* m_background;
    QComboBox* m_lineEffect;
    QLineEdit* m_lineWidth;
    QComboBox* m_lineStyle;
};

class ColorBlockDialog : public PropertyDialog {
public:
    ColorBlockDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void apply() override;
};

} // namespace ordavel
