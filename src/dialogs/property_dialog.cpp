#include "dialogs/property_dialog.h"

#include "dialogs/number_text.h"
#include "model/document.h"
#include "model/units.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ordavel {

namespace {

constexpr double kTolerance = -0.0000001;
const char* const kEditNames[4] = {"编辑框_左边", "编辑框_顶边", "编辑框_宽度", "编辑框_高度"};
const char* const kPrintNames[4] = {"编辑框_打印时_左边", "编辑框_打印时_顶边", "编辑框_打印时_宽度",
                                    "编辑框_打印时_高度"};
const char* const kCaptions[4] = {"左边：", "顶边：", "宽度：", "高度："};

QLineEdit* addField(QGridLayout* grid, int position, const char* name, const char* caption)
{
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromUtf8(name));
    grid->addWidget(new QLabel(QString::fromUtf8(caption)), position / 2, (position % 2) * 2);
    grid->addWidget(field, position / 2, (position % 2) * 2 + 1);
    return field;
}

} // namespace

int truncatePixels(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double limit = 1'000'000'000.0; // far beyond any board, safe to convert
    return static_cast<int>(std::clamp(value, -limit, limit));
}

PropertyDialog::PropertyDialog(QWidget* parent, Document& doc, int index, Prompter& prompter,
                               const DialogLook& look)
    : QDialog(parent), m_doc(doc), m_index(index), m_prompter(prompter), m_look(look)
{
    setWindowTitle(look.title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* editGroup = new QGroupBox(QStringLiteral("编辑时位置、大小 (计量单位:像素)"));
    editGroup->setObjectName(QStringLiteral("分组框1"));
    auto* editGrid = new QGridLayout(editGroup);
    for (int i = 0; i < 4; ++i)
        m_edit[static_cast<std::size_t>(i)] = addField(editGrid, i, kEditNames[i], kCaptions[i]);
    auto* unitRow = new QHBoxLayout;
    auto* unitLabel = new QLabel(QStringLiteral("切换计量单位:"));
    unitLabel->setObjectName(QStringLiteral("标签1"));
    m_pixelsButton = new QRadioButton(QStringLiteral("象素"));
    m_pixelsButton->setObjectName(QStringLiteral("单选框_象素"));
    m_cmButton = new QRadioButton(QStringLiteral("厘米"));
    m_cmButton->setObjectName(QStringLiteral("单选框_厘米"));
    unitRow->addWidget(unitLabel);
    unitRow->addWidget(m_pixelsButton);
    unitRow->addWidget(m_cmButton);
    editGrid->addLayout(unitRow, 2, 0, 1, 4);
    layout->addWidget(editGroup);

    auto* printGroup = new QGroupBox(look.printCaption);
    printGroup->setObjectName(QStringLiteral("分组框3"));
    auto* printGrid = new QGridLayout(printGroup);
    const int printCount = look.printSize ? 4 : 2;
    for (int i = 0; i < printCount; ++i) {
        auto* field = addField(printGrid, i, kPrintNames[i], kCaptions[i]);
        field->setEnabled(false);
        m_print[static_cast<std::size_t>(i)] = field;
    }
    m_fixed = new QCheckBox(look.printSize ? QStringLiteral("固定位置、大小") : QStringLiteral("固定打印位置"));
    m_fixed->setObjectName(QStringLiteral("选择框_固定打印位置"));
    m_isPrint = new QCheckBox(QStringLiteral("是否打印"));
    m_isPrint->setObjectName(QStringLiteral("选择框_是否打印"));
    printGrid->addWidget(m_fixed, 2, 0, 1, 2);
    printGrid->addWidget(m_isPrint, 2, 2, 1, 2);
    layout->addWidget(printGroup);

    m_ownArea = new QVBoxLayout;
    layout->addLayout(m_ownArea);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"));
    ok->setObjectName(QStringLiteral("按钮_确定"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    cancel->setObjectName(QStringLiteral("按钮_取消"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    for (int i = 0; i < 4; ++i)
        connect(m_edit[static_cast<std::size_t>(i)], &QLineEdit::textChanged, this, [this, i] { follow(i); });
    connect(m_pixelsButton, &QRadioButton::clicked, this, [this] { switchUnit(false); });
    connect(m_cmButton, &QRadioButton::clicked, this, [this] { switchUnit(true); });
    connect(m_fixed, &QCheckBox::clicked, this, [this] { fixedClicked(); });
    connect(ok, &QPushButton::clicked, this, [this] { apply(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

Box& PropertyDialog::box()
{
    return m_doc.box(m_index);
}

double PropertyDialog::factor(int field) const
{
    const UnitFactors& f = m_doc.factors();
    return field % 2 == 0 ? f.pagePxPerCmX : f.pagePxPerCmY;
}

void PropertyDialog::load()
{
    m_centimetres = false;
    m_pixelsButton->setChecked(true);
    m_cmButton->setChecked(false);
    const Box& b = box();
    const std::array<int, 4> px{b.editRect.left, b.editRect.top, b.editRect.width, b.editRect.height};
    for (std::size_t i = 0; i < 4; ++i)
        m_edit[i]->setText(QString::number(px[i]));
    const std::array<double, 4> stored{b.printRect.left, b.printRect.top, b.printRect.width, b.printRect.height};
    for (std::size_t i = 0; i < 4; ++i) {
        if (!m_print[i])
            continue;
        const double value = b.followsEdit ? roundTo(px[i] / factor(static_cast<int>(i)), 2) : stored[i];
        m_print[i]->setText(formatDouble(value));
    }
    m_fixed->setChecked(!b.followsEdit);
    if (!b.followsEdit)
        for (QLineEdit* field : m_print)
            if (field)
                field->setEnabled(true);
    m_isPrint->setChecked(b.isPrint);
    loadOwn();
}

void PropertyDialog::follow(int field)
{
    QLineEdit* target = m_print[static_cast<std::size_t>(field)];
    if (!target || m_fixed->isChecked())
        return;
    const QString text = m_edit[static_cast<std::size_t>(field)]->text();
    if (m_centimetres)
        target->setText(text);
    else
        target->setText(formatDouble(roundTo(parseNumber(text) / factor(field), 2)));
}

void PropertyDialog::fixedClicked()
{
    const bool fixed = m_fixed->isChecked();
    for (QLineEdit* field : m_print)
        if (field)
            field->setEnabled(fixed);
    if (!fixed)
        for (int i = 0; i < 4; ++i)
            follow(i);
}

void PropertyDialog::switchUnit(bool toCentimetres)
{
    if (toCentimetres == m_centimetres)
        return;
    std::array<QString, 4> saved;
    for (std::size_t i = 0; i < 4; ++i)
        if (m_print[i])
            saved[i] = m_print[i]->text();
    std::array<float, 4> values{};
    for (std::size_t i = 0; i < 4; ++i)
        values[i] = static_cast<float>(parseNumber(m_edit[i]->text()));
    for (std::size_t i = 0; i < 4; ++i) {
        const double f = factor(static_cast<int>(i));
        const double converted = toCentimetres ? roundTo(values[i] / f, 2) : roundTo(values[i] * f, 0);
        values[i] = static_cast<float>(converted);
    }
    for (std::size_t i = 0; i < 4; ++i)
        m_edit[i]->setText(formatSingle(values[i]));
    for (std::size_t i = 0; i < 4; ++i)
        if (m_print[i])
            m_print[i]->setText(saved[i]);
    m_centimetres = toCentimetres;
    m_pixelsButton->setChecked(!toCentimetres);
    m_cmButton->setChecked(toCentimetres);
}

void PropertyDialog::warn(const char* text)
{
    m_prompter.show(Message{text, m_look.title.toStdString(), MessageIcon::Exclamation, MessageButtons::Ok});
}

bool PropertyDialog::readEdit(EditValues& out)
{
    std::array<double, 4> v{};
    for (std::size_t i = 0; i < 4; ++i) {
        v[i] = parseNumber(m_edit[i]->text());
        if (m_centimetres)
            v[i] = roundTo(v[i] * factor(static_cast<int>(i)), 0);
    }
    out = EditValues{v[0], v[1], v[2], v[3]};
    if (out.top + out.height < kTolerance || out.left + out.width < kTolerance) {
        warn("控件将移动到工作区以外不可见，请重新设置。");
        return false;
    }
    return true;
}

void PropertyDialog::moveControl(const EditValues& edit)
{
    moveControl(edit, truncatePixels(edit.width), truncatePixels(edit.height));
}

void PropertyDialog::moveControl(const EditValues& edit, int width, int height)
{
    m_doc.setEditRect(m_index, Rect{truncatePixels(edit.left), truncatePixels(edit.top), width, height});
}

bool PropertyDialog::readPrint(const EditValues& edit, PrintRect& out)
{
    out = box().printRect;
    out.left = parseNumber(m_print[0]->text());
    out.top = parseNumber(m_print[1]->text());
    double width = 0.0;
    double height = 0.0;
    if (m_look.printSize) {
        out.width = parseNumber(m_print[2]->text());
        out.height = parseNumber(m_print[3]->text());
        width = out.width;
        height = out.height;
    } else {
        // Boxes without a print size extend on paper as far as on screen.
        width = edit.width / factor(2);
        height = edit.height / factor(3);
    }
    if (out.top + height < kTolerance || out.left + width < kTolerance) {
        warn("内容打印位置超出纸张以外，请重新设置。");
        return false;
    }
    return true;
}

bool PropertyDialog::applyPositions()
{
    EditValues edit{};
    PrintRect print;
    if (!readEdit(edit))
        return false;
    moveControl(edit);
    if (!readPrint(edit, print))
        return false;
    storePrintRect(print);
    return true;
}

void PropertyDialog::storePrintRect(const PrintRect& rect)
{
    Box& b = box();
    b.printRect.left = rect.left;
    b.printRect.top = rect.top;
    if (m_look.printSize) {
        b.printRect.width = rect.width;
        b.printRect.height = rect.height;
    }
}

void PropertyDialog::storeFlags()
{
    box().isPrint = m_isPrint->isChecked();
    box().followsEdit = !m_fixed->isChecked();
}

void PropertyDialog::finish()
{
    m_doc.placeHandles(m_index);
    m_doc.boxEdited(m_index);
    accept();
}

} // namespace ordavel
