#include "dialogs/text_dialogs.h"

#include "dialogs/cell_group.h"
#include "dialogs/color_button.h"
#include "dialogs/data_field_list.h"
#include "dialogs/font_group.h"
#include "dialogs/shrink_group.h"
#include "model/document.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace ordavel {

namespace {

const char* const kTextPrintCaption = "打印时文本位置 (计量单位:厘米)";

// Selects entry `value`, or none when it is outside the list.
void selectEntry(QComboBox* list, int value)
{
    list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
}

} // namespace

QComboBox* makeChoiceList(const QString& objectName, std::initializer_list<const char*> entries)
{
    auto* list = new QComboBox;
    list->setObjectName(objectName);
    int value = 0;
    for (const char* entry : entries)
        list->addItem(QString::fromUtf8(entry), value++);
    return list;
}

// --- text box ---

TextBoxDialog::TextBoxDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("文本框属性"), QString::fromUtf8(kTextPrintCaption), false})
{
    m_font = new FontGroup(QStringLiteral("分组框2"), prompter);
    auto* style = new QGroupBox(QStringLiteral("文本框样式"));
    style->setObjectName(QStringLiteral("分组框_文本框样式"));
    m_inputMode = makeChoiceList(QStringLiteral("组合框_输入方式"),
                                 {"0、通常方式", "1、只读方式", "2、密码输入", "3、整数文本输入", "4、小数文本输入",
                                  "5、输入字节(1-255整数)", "6、输入短整数", "7、输入整数", "8、输入长整数",
                                  "9、输入小数", "10、输入双精度小数", "11、输入日期时间"});
    m_multiLine = new QCheckBox(QStringLiteral("多行文本框"));
    m_multiLine->setObjectName(QStringLiteral("选择框_是否允许多行"));
    m_scrollBars = new QCheckBox(QStringLiteral("显示滚动条"));
    m_scrollBars->setObjectName(QStringLiteral("选择框_显示滚动条"));
    m_scrollBars->setEnabled(false);
    auto* form = new QFormLayout(style);
    form->addRow(QStringLiteral("输入方式："), m_inputMode);
    form->addRow(m_multiLine);
    form->addRow(m_scrollBars);
    m_cells = new CellGroup;
    m_shrink = new ShrinkGroup;
    ownArea()->addWidget(m_font);
    ownArea()->addWidget(style);
    ownArea()->addWidget(m_cells);
    ownArea()->addWidget(m_shrink);
    connect(m_multiLine, &QCheckBox::clicked, this, [this] { m_scrollBars->setEnabled(m_multiLine->isChecked()); });
}

void TextBoxDialog::loadOwn()
{
    const BoxAttributes& a = box().attributes;
    selectEntry(m_inputMode, a.inputMode);
    m_multiLine->setChecked(a.multiLine);
    m_scrollBars->setEnabled(a.multiLine);
    m_scrollBars->setChecked(a.multiLine && a.scrollBars != 0);
    m_font->setChoice(FontChoice{a.font, a.textColor});
    m_cells->load(a);
    m_shrink->load(a);
}

void TextBoxDialog::apply()
{
    // Font and colour go to the box first and stay even when a check fails.
    BoxAttributes& a = box().attributes;
    a.font = m_font->choice().font;
    a.textColor = m_font->choice().color;
    doc().boxEdited(boxIndex());

    if (!applyPositions())
        return;
    storeFlags();
    a.multiLine = m_multiLine->isChecked();
    a.inputMode = m_inputMode->currentIndex() < 0 ? -1 : m_inputMode->currentData().toInt();
    a.scrollBars = m_scrollBars->isChecked() ? 3 : 0;
    m_cells->store(a);
    m_shrink->store(a);
    finish();
}

// --- label ---

LabelDialog::LabelDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("标签属性"), QString::fromUtf8(kTextPrintCaption), false})
{
    m_caption = new QLineEdit;
    m_caption->setObjectName(QStringLiteral("编辑框_标签标题"));
    m_font = new FontGroup(QStringLiteral("分组框2"), prompter);
    auto* style = new QGroupBox(QStringLiteral("标签样式"));
    style->setObjectName(QStringLiteral("分组框_文本框样式"));
    m_hAlign = makeChoiceList(QStringLiteral("组合框_标签横向对齐方式"), {"0、左对齐", "1、居中", "2、右对齐"});
    m_vAlign = makeChoiceList(QStringLiteral("组合框_标签纵向对齐方式"), {"0、上对齐", "1、居中", "2、下对齐"});
    m_effect = makeChoiceList(QStringLiteral("组合框_标签显示效果"), {"0、通常", "1、凹入", "2、凸出", "3、阴影"});
    m_background = new ColorButton(QStringLiteral("颜色选择器_标签背景颜色"), QStringLiteral("背景颜色"), prompter);
    m_wordWrap = new QCheckBox(QStringLiteral("自动折行"));
    m_wordWrap->setObjectName(QStringLiteral("选择框_自动折行"));
    auto* form = new QFormLayout(style);
    form->addRow(QStringLiteral("横向对齐："), m_hAlign);
    form->addRow(QStringLiteral("纵向对齐："), m_vAlign);
    form->addRow(QStringLiteral("显示效果："), m_effect);
    form->addRow(QStringLiteral("背景颜色："), m_background);
    form->addRow(m_wordWrap);
    auto* captionRow = new QFormLayout;
    captionRow->addRow(QStringLiteral("标题："), m_caption);
    ownArea()->addLayout(captionRow);
    m_cells = new CellGroup;
    m_shrink = new ShrinkGroup;
    ownArea()->addWidget(m_font);
    ownArea()->addWidget(style);
    ownArea()->addWidget(m_cells);
    ownArea()->addWidget(m_shrink);
}

void LabelDialog::loadOwn()
{
    const BoxAttributes& a = box().attributes;
    m_caption->setText(QString::fromStdString(a.text));
    selectEntry(m_vAlign, a.vAlign);
    selectEntry(m_hAlign, a.hAlign);
    selectEntry(m_effect, a.effect);
    m_font->setChoice(FontChoice{a.font, a.textColor});
    m_background->setColor(a.bgColor);
    m_wordWrap->setChecked(a.wordWrap);
    m_cells->load(a);
    m_shrink->load(a);
}

void LabelDialog::apply()
{
    if (!applyPositions())
        return;
    BoxAttributes& a = box().attributes;
    a.effect = m_effect->currentIndex();
    a.font = m_font->choice().font;
    a.textColor = m_font->choice().color;
    a.bgColor = m_background->color();
    a.hAlign = m_hAlign->currentIndex() < 0 ? -1 : m_hAlign->currentData().toInt();
    a.vAlign = m_vAlign->currentIndex() < 0 ? -1 : m_vAlign->currentData().toInt();
    a.wordWrap = m_wordWrap->isChecked();
    a.text = m_caption->text().toStdString();
    m_cells->store(a);
    m_shrink->store(a);
    storeFlags();
    finish();
}

// --- date box ---

DateDialog::DateDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("日期框属性"), QString::fromUtf8(kTextPrintCaption), false})
{
    m_font = new FontGroup(QStringLiteral("分组框2"), prompter);
    m_format = makeChoiceList(QStringLiteral("组合框_日期打印格式"),
                              {"2012年12月31日", "24时59分59秒", "2012年12月31日 24时59分59秒", "24:59:59",
                               "2012年12月31日 24:59:59", "2012-12-31 ", "2012-12-31 24:59:59", "2012/12/31",
                               "12/31/2012"});
    m_dataField = new DataFieldList;
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("日期格式："), m_format);
    form->addRow(QStringLiteral("数据字段："), m_dataField);
    ownArea()->addWidget(m_font);
    ownArea()->addLayout(form);
}

void DateDialog::loadOwn()
{
    // The sample shows the box's font; the date box carries no colour of its own.
    m_font->setChoice(FontChoice{box().attributes.font, kBlack});
    selectEntry(m_format, box().dateFormat);
    m_dataField->load(dataColumns(), box().dataField);
}

void DateDialog::apply()
{
    if (!applyPositions())
        return;
    box().attributes.font = m_font->choice().font;
    storeFlags();
    box().dateFormat = m_format->currentIndex();
    box().dataField = m_dataField->field();
    finish();
}

} // namespace ordavel
