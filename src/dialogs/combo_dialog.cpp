#include "dialogs/combo_dialog.h"

#include "dialogs/combo_items.h"
#include "dialogs/font_group.h"
#include "file/value_format.h"
#include "model/document.h"
#include "platform/prompter.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ordavel {

namespace {

QPushButton* addButton(QVBoxLayout* column, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption));
    button->setObjectName(QString::fromUtf8(name));
    column->addWidget(button);
    return button;
}

void tell(Prompter& prompter, const char* text, const char* caption)
{
    prompter.show(Message{text, caption, MessageIcon::Exclamation, MessageButtons::Ok});
}

} // namespace

ComboDialog::ComboDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("组合框属性"), QStringLiteral("打印时文本位置 (计量单位:厘米)"), false})
{
    auto* group = new QGroupBox(QStringLiteral("组合框项目列表"));
    group->setObjectName(QStringLiteral("分组框2"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("列表框1"));
    auto* buttons = new QVBoxLayout;
    auto* add = addButton(buttons, "按钮_添加", "添加新项目");
    auto* edit = addButton(buttons, "按钮_编辑", "编辑项目内容");
    auto* remove = addButton(buttons, "按钮_删除", "删除当前项目");
    buttons->addStretch();
    auto* row = new QHBoxLayout(group);
    row->addWidget(m_list, 1);
    row->addLayout(buttons);
    m_font = new FontGroup(QStringLiteral("分组框4"), prompter);
    ownArea()->addWidget(group);
    ownArea()->addWidget(m_font);
    connect(add, &QPushButton::clicked, this, [this] { addItem(); });
    connect(edit, &QPushButton::clicked, this, [this] { editItem(); });
    connect(remove, &QPushButton::clicked, this, [this] { deleteItem(); });
}

void ComboDialog::loadOwn()
{
    for (const std::string& item : splitComboItems(box().comboItems))
        m_list->addItem(QString::fromStdString(item));
    m_font->setChoice(FontChoice{box().attributes.font, kBlack});
}

void ComboDialog::addItem()
{
    const auto text = prompter().askText("请输入:", "添加组合框项目", "");
    if (!text)
        return;
    if (isBlankItem(*text)) {
        tell(prompter(), "内容为空，不能添加", "添加组合框项目");
        return;
    }
    m_list->insertItem(0, QString::fromStdString(*text));
}

void ComboDialog::editItem()
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const auto text = prompter().askText("请输入:", "编辑组合框项目", item->text().toStdString());
    if (!text)
        return;
    if (isBlankItem(*text)) {
        tell(prompter(), "内容为空，修改项目内容失败。", "编辑组合框项目");
        return;
    }
    item->setText(QString::fromStdString(*text));
}

void ComboDialog::deleteItem()
{
    QListWidgetItem* item = m_list->currentItem();
    if (item && item->isSelected())
        delete m_list->takeItem(m_list->row(item));
}

void ComboDialog::apply()
{
    EditValues edit{};
    PrintRect print;
    if (!readEdit(edit))
        return;
    moveControl(edit);
    // The items are applied before the print check and stay when it fails.
    std::vector<std::string> items;
    for (int i = 0; i < m_list->count(); ++i)
        items.push_back(m_list->item(i)->text().toStdString());
    box().attributes.items = items;
    box().comboItems = formatComboItems(items);
    doc().boxEdited(boxIndex());
    if (!readPrint(edit, print))
        return;
    storePrintRect(print);
    storeFlags();
    box().attributes.font = m_font->choice().font;
    finish();
}

} // namespace ordavel
