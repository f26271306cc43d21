#include "designer/combo_control.h"

#include "designer/box_media.h"

#include <QLineEdit>

namespace ordavel {

ComboControl::ComboControl(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert); // Enter keeps the typed text without adding an item
    setCompleter(nullptr);                // what is typed is stored as typed, never completed
    connect(this, &QComboBox::currentTextChanged, this, [this] {
        if (!m_updating)
            edited();
    });
}

void ComboControl::showBox(const Box& box)
{
    const BoxAttributes& a = box.attributes;
    showFont(*this, a.font, m_font);
    QStringList items;
    for (const std::string& item : a.items)
        items.append(toQString(item));
    QStringList shownItems;
    for (int i = 0; i < count(); ++i)
        shownItems.append(itemText(i));
    const QString text = toQString(a.text);
    m_updating = true;
    if (items != shownItems) {
        clear();
        addItems(items);
        setCurrentIndex(static_cast<int>(items.indexOf(text)));
        setEditText(text);
    } else if (currentText() != text) {
        setCurrentIndex(static_cast<int>(items.indexOf(text)));
        setEditText(text);
    }
    m_updating = false;
}

void ComboControl::readInto(BoxAttributes& attributes) const { attributes.text = fromQString(currentText()); }

} // namespace ordavel
