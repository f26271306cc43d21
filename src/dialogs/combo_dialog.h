#pragma once
// The combo box dialog: the common part, the font group and the item list
// editor. The working list replaces the box's items only on OK.

#include "dialogs/property_dialog.h"

class QListWidget;

namespace ordavel {

class FontGroup;

class ComboDialog : public PropertyDialog {
public:
    ComboDialog(QWidget* parent, Document& doc, int index, Prompter& prompter);

protected:
    void loadOwn() override;
    void apply() override;

private:
    void addItem();
    void editItem();
    void deleteItem();

    QListWidget* m_list;
    FontGroup* m_font;
};

} // namespace ordavel
