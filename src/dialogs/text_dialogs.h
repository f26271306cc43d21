#pragma once
// The dialogs of the boxes that print text: text box, label and date box.
// (The combo box dialog is in combo_dialog.h.)

#include "dialogs/property_dialog.h"

class QComboBox;
class QCheckBox;
class QLineEdit;

namespace ordavel {

class CellGroup;
class FontGroup;
class ShrinkGroup;
class ColorButton;
class DataFieldList;

class TextBoxDialog : public PropertyDialog {
public:
    TextBoxDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    FontGroup* m_font;
    QComboBox* m_inputMode;
    QCheckBox* m_multiLine;
    QCheckBox* m_scrollBars;
    CellGroup* m_cells;
    ShrinkGroup* m_shrink;
};

class LabelDialog : public PropertyDialog {
public:
    LabelDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    QLineEdit* m_caption;
    FontGroup* m_font;
    QComboBox* m_hAlign;
    QComboBox* m_vAlign;
    QComboBox* m_effect;
    ColorButton* m_background;
    QCheckBox* m_wordWrap;
    CellGroup* m_cells;
    ShrinkGroup* m_shrink;
};

class DateDialog : public PropertyDialog {
public:
    DateDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    FontGroup* m_font;
    QComboBox* m_format;
    DataFieldList* m_dataField;
};

// A drop-down list of the dialogs: entry position = stored value.
QComboBox* makeChoiceList(const QString& objectName, std::initializer_list<const char*> entries);

} // namespace ordavel
