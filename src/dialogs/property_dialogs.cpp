#include "dialogs/property_dialogs.h"

#include "dialogs/barcode_dialog.h"
#include "dialogs/combo_dialog.h"
#include "dialogs/graphic_dialogs.h"
#include "dialogs/text_dialogs.h"
#include "model/document.h"

#include <memory>

namespace ordavel {

bool showPropertyDialog(QWidget* parent, Document& doc, int index, Prompter& prompter,
                        const std::vector<std::string>& dataColumns)
{
    if (index < 1 || index > doc.slotCount() || !doc.box(index).inUse)
        return false;
    doc.setCurrentBoxIndex(index);
    std::unique_ptr<PropertyDialog> dialog;
    switch (doc.box(index).type) {
    case BoxType::EditBox: dialog = std::make_unique<TextBoxDialog>(parent, doc, index, prompter); break;
    case BoxType::Label: dialog = std::make_unique<LabelDialog>(parent, doc, index, prompter); break;
    case BoxType::PicBox: dialog = std::make_unique<PictureDialog>(parent, doc, index, prompter); break;
    case BoxType::ShapeBox: dialog = std::make_unique<ShapeDialog>(parent, doc, index, prompter); break;
    case BoxType::DatePicker: dialog = std::make_unique<DateDialog>(parent, doc, index, prompter); break;
    case BoxType::ComboBox: dialog = std::make_unique<ComboDialog>(parent, doc, index, prompter); break;
    case BoxType::ColorPicker: dialog = std::make_unique<ColorBlockDialog>(parent, doc, index, prompter); break;
    case BoxType::BarcodeBox: dialog = std::make_unique<BarcodeDialog>(parent, doc, index, prompter); break;
    case BoxType::None: return false;
    }
    if (!dialog)
        return false;
    dialog->setDataColumns(dataColumns);
    dialog->load();
    return dialog->exec() == QDialog::Accepted;
}

bool openPropertyDialogFromClick(QWidget* parent, Document& doc, int index, Prompter& prompter,
                                 const std::vector<std::string>& dataColumns)
{
    if (index < 1 || index > doc.slotCount() || !doc.box(index).inUse)
        return false;
    doc.setCurrentBoxIndex(index);
    if (doc.appMode() != AppMode::DesignMode)
        return false;
    doc.clearSelection();
    doc.select(index);
    return showPropertyDialog(parent, doc, index, prompter, dataColumns);
}

} // namespace ordavel
