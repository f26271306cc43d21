#pragma once
// The barcode box dialog "条码框属性": the common position fields, then the
// symbology, the data and its data field, the human-readable text, module width, QR error
// correction, rotation, colours and font, with a live preview of the symbol
// at its print size and a line that says why nothing would print.

#include "dialogs/property_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ordavel {

class ColorButton;
class DataFieldList;
class FontGroup;
class BarcodePreview;

class BarcodeDialog : public PropertyDialog {
public:
    BarcodeDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

    // The box as OK would leave it (print size from the print fields), for the preview.
    Box pendingBox() const;

protected:
    void loadOwn() override;
    void apply() override;

private:
    void refresh();

    QComboBox* m_symbology;
    QLineEdit* m_data;
    DataFieldList* m_dataField;
    QCheckBox* m_humanReadable;
    QLineEdit* m_module;
    QComboBox* m_ecc;
    QComboBox* m_rotation;
    ColorButton* m_barColor;
    ColorButton* m_background;
    FontGroup* m_font;
    BarcodePreview* m_preview;
    QLabel* m_problem;
    bool m_loading = false;
};

} // namespace ordavel
