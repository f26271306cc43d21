#include "dialogs/graphic_dialogs.h"

#include "dialogs/color_button.h"
#include "dialogs/data_field_list.h"
#include "dialogs/number_text.h"
#include "dialogs/text_dialogs.h"
#include "model/document.h"
#include "platform/file_history.h"
#include "platform/picture_decoder.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <optional>

namespace ordavel {

namespace {

const char* const kGraphicPrintCaption = "打印时图片位置 (计量单位:厘米)";

// The whole file as bytes; nothing when it cannot be read.
std::optional<std::string> readFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return bytes.toStdString();
}

// The pixel size of the picture in a file; nothing when it is not a picture.
std::optional<QSize> pictureSize(const QString& path)
{
    const auto bytes = readFileBytes(path);
    if (!bytes)
        return std::nullopt;
    if (!pictureFault(*bytes).empty())
        return std::nullopt;
    return pictureNaturalSize(*bytes);
}

} // namespace

// --- picture box ---

PictureDialog::PictureDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("图片框属性"), QString::fromUtf8(kGraphicPrintCaption), true})
{
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("编辑框_画板底图文件路径"));
    m_path->setReadOnly(true);
    m_chooseButton = new QPushButton(QStringLiteral("..."));
    m_chooseButton->setObjectName(QStringLiteral("按钮_选择文件"));
    auto* clear = new QPushButton(QStringLiteral("清除图片(&C)"));
    clear->setObjectName(QStringLiteral("按钮_清除图片"));
    m_autoSize = new QCheckBox(QStringLiteral("根据图像自动调整画板的高度和宽度"));
    m_autoSize->setObjectName(QStringLiteral("选择框_根据图像自动调整画板的高度和宽度"));
    m_background = new ColorButton(QStringLiteral("颜色选择器_工作台背景颜色"), QStringLiteral("背景颜色"), prompter);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_chooseButton);
    pathRow->addWidget(clear);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("设置底图："), pathRow);
    form->addRow(m_autoSize);
    form->addRow(QStringLiteral("背景颜色："), m_background);
    m_dataField = new DataFieldList;
    m_dataField->setToolTip(QStringLiteral("打印一批记录时，这个框打印这一列所写的图片文件（相对于数据文件所在的文件夹）；空着就不用数据"));
    form->addRow(QStringLiteral("数据字段："), m_dataField);
    ownArea()->addLayout(form);
    connect(m_chooseButton, &QPushButton::clicked, this, [this] { chooseFile(); });
    connect(clear, &QPushButton::clicked, this, [this] { clearPicture(); });
    connect(m_autoSize, &QCheckBox::clicked, this, [this] { setSizeFieldsEnabled(!m_autoSize->isChecked()); });
}

void PictureDialog::setSizeFieldsEnabled(bool enabled)
{
    findChild<QLineEdit*>(QStringLiteral("编辑框_宽度"))->setEnabled(enabled);
    findChild<QLineEdit*>(QStringLiteral("编辑框_高度"))->setEnabled(enabled);
}

void PictureDialog::loadOwn()
{
    const Box& b = box();
    bool autoSize = false;
    if (!b.picturePath.empty()) {
        const QString path = QString::fromStdString(b.picturePath);
        m_path->setText(path);
        const auto size = pictureSize(path);
        autoSize = size && size->width() == b.editRect.width && size->height() == b.editRect.height;
    }
    m_autoSize->setChecked(autoSize);
    setSizeFieldsEnabled(!autoSize);
    m_background->setColor(b.attributes.bgColor);
    m_dataField->load(dataColumns(), b.dataField);
}

void PictureDialog::chooseFile()
{
    FileChoice choice;
    choice.title = "选择页面底图";
    choice.filter = "所有图片文件(不能打开.png文件)|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif|所有文件(*.*)|*.*";
    choice.defaultExtension = ".jpg";
    const auto chosen = chooseFileFrom(prompter(), choice, doc().fileName());
    if (chosen) {
        // A picture the board could not show or the printer print is refused now.
        const auto bytes = readFileBytes(QString::fromStdString(*chosen));
        const std::string refusal
            = bytes ? pictureRefusal(*chosen, *bytes) : "读取图片文件失败，请重试。\r\n（" + *chosen + "）";
        if (!refusal.empty()) {
            warn(refusal.c_str());
            return;
        }
    }
    m_path->setText(chosen ? QString::fromStdString(*chosen) : QString());
}

void PictureDialog::clearPicture()
{
    m_path->clear();
    box().attributes.picture.clear();
    box().picturePath.clear();
    doc().boxEdited(boxIndex());
}

void PictureDialog::apply()
{
    EditValues edit{};
    PrintRect print;
    if (!readEdit(edit))
        return;
    moveControl(edit, box().editRect.width, box().editRect.height);
    const QString path = m_path->text();
    int width = truncatePixels(edit.width);
    int height = truncatePixels(edit.height);
    if (m_autoSize->isChecked()) {
        if (path.isEmpty()) {
            warn("选择了 **根据图像自动调整画板的高度和宽度** 项，但是没有选择底图文件。");
            m_chooseButton->setFocus();
            return;
        }
        // A file that is not a picture leaves the typed size in force.
        if (const auto size = pictureSize(path)) {
            width = size->width();
            height = size->height();
        }
    }
    moveControl(edit, width, height);
    if (!readPrint(edit, print))
        return;
    storePrintRect(print);
    storeFlags();
    if (!path.isEmpty()) {
        // Read again on every OK so a file changed on disk is taken up; an
        // unreadable file keeps the picture the box has.
        if (const auto bytes = readFileBytes(path)) {
            box().picturePath = path.toStdString();
            box().attributes.picture = *bytes;
        }
    }
    box().attributes.bgColor = m_background->color();
    box().dataField = m_dataField->field();
    finish();
}

// --- shape box ---

ShapeDialog::ShapeDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("外形框属性"), QString::fromUtf8(kGraphicPrintCaption), true})
{
    m_shape = makeChoiceList(QStringLiteral("组合框_外形"), {"0、矩形", "1、正方形", "2、椭圆", "3、圆形", "4、圆角矩形",
                                                            "5、圆角正方形", "6、横向线", "7、纵向线"});
    m_lineColor = new ColorButton(QStringLiteral("颜色选择器_线条颜色"), QStringLiteral("线条颜色"), prompter);
    m_background = new ColorButton(QStringLiteral("颜色选择器_背景颜色"), QStringLiteral("背景颜色"), prompter);
    m_lineEffect = makeChoiceList(QStringLiteral("组合框_线条效果"), {"0、通常", "1、凹入", "2、凸出"});
    m_lineWidth = new QLineEdit;
    m_lineWidth->setObjectName(QStringLiteral("编辑框_线条宽度"));
    m_lineWidth->setMaxLength(2);
    m_lineWidth->setAlignment(Qt::AlignCenter);
    m_lineStyle = makeChoiceList(QStringLiteral("组合框_线型"),
                                 {"0、无", "1、直线", "2、点线", "3、划线", "4、点划线", "5、双点划线"});
    m_lineStyle->setParent(this);
    m_lineStyle->hide(); // loaded and written back, never changed here
    auto* group = new QGroupBox;
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("外形："), m_shape);
    form->addRow(QStringLiteral("线条颜色："), m_lineColor);
    form->addRow(QStringLiteral("背景颜色："), m_background);
    form->addRow(QStringLiteral("显示效果："), m_lineEffect);
    form->addRow(QStringLiteral("线条宽度："), m_lineWidth);
    ownArea()->addWidget(group);
    connect(m_lineStyle, &QComboBox::currentIndexChanged, this, [this] { lineStyleChanged(); });
}

void ShapeDialog::lineStyleChanged()
{
    const bool solid = m_lineStyle->currentIndex() == LineSolid;
    if (!solid)
        m_lineWidth->setText(QStringLiteral("1"));
    m_lineWidth->setEnabled(solid);
}

void ShapeDialog::loadOwn()
{
    const BoxAttributes& a = box().attributes;
    auto select = [](QComboBox* list, int value) {
        list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
    };
    select(m_shape, a.shape);
    select(m_lineStyle, a.lineStyle);
    select(m_lineEffect, a.lineEffect);
    m_lineColor->setColor(a.lineColor);
    m_background->setColor(a.bgColor);
    const bool solid = a.lineStyle == LineSolid;
    m_lineWidth->setText(solid ? QString::number(a.lineWidth) : QStringLiteral("1"));
    m_lineWidth->setEnabled(solid);
}

void ShapeDialog::apply()
{
    if (!applyPositions())
        return;
    BoxAttributes& a = box().attributes;
    a.lineColor = m_lineColor->color();
    a.bgColor = m_background->color();
    a.lineEffect = m_lineEffect->currentIndex();
    a.lineStyle = m_lineStyle->currentIndex();
    a.shape = m_shape->currentIndex();
    a.lineWidth = truncatePixels(parseNumber(m_lineWidth->text()));
    storeFlags();
    if (a.shape == ShapeSquare || a.shape == ShapeCircle || a.shape == ShapeRoundSquare) {
        Rect rect = box().editRect;
        rect.width = rect.height = std::min(rect.width, rect.height);
        doc().setEditRect(boxIndex(), rect);
    }
    finish();
}

// --- colour block ---

ColorBlockDialog::ColorBlockDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QStringLiteral("颜色选择框属性"), QStringLiteral("打印时颜色框位置 (计量单位:厘米)"), true})
{
}

void ColorBlockDialog::apply()
{
    if (!applyPositions())
        return;
    storeFlags();
    finish();
}

} // namespace ordavel
