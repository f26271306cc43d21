#include "dialogs/barcode_dialog.h"

#include "dialogs/color_button.h"
#include "dialogs/data_field_list.h"
#include "dialogs/font_group.h"
#include "dialogs/number_text.h"
#include "dialogs/text_dialogs.h"
#include "model/barcode_settings.h"
#include "model/document.h"
#include "platform/painter_surface.h"
#include "print/barcode_render.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ordavel {

// The symbol at its print proportions, as large as the widget allows.
class BarcodePreview : public QWidget {
public:
    explicit BarcodePreview(const BarcodeDialog& dialog) : m_dialog(dialog)
    {
        setObjectName(QStringLiteral("画板_条码预览"));
        setMinimumSize(240, 150);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xe8, 0xe8, 0xe8));
        const Box box = m_dialog.pendingBox();
        const double widthMm = box.printRect.width * 10.0;
        const double heightMm = box.printRect.height * 10.0;
        if (!(widthMm > 0.0 && heightMm > 0.0))
            return;
        const double pxPerMm = std::min((width() - 8) / widthMm, (height() - 8) / heightMm);
        const AreaRect area{(width() - widthMm * pxPerMm) / 2.0, (height() - heightMm * pxPerMm) / 2.0,
                            widthMm * pxPerMm, heightMm * pxPerMm};
        painter.fillRect(QRectF(area.x, area.y, area.width, area.height), Qt::white);
        PainterSurface surface(painter, PainterSurface::Units::Pixels);
        // The font shrinks with the paper so the text keeps its share of the box.
        Box scaled = box;
        const double screenPxPerMm = logicalDpiY() / 25.4;
        scaled.attributes.font.size =
            std::max(1, static_cast<int>(box.attributes.font.size * pxPerMm / screenPxPerMm + 0.5));
        drawBarcodeIn(scaled, area, pxPerMm, surface);
    }

private:
    const BarcodeDialog& m_dialog;
};

namespace {

const char* const kTitle = "条码框属性";

} // namespace

BarcodeDialog::BarcodeDialog(QWidget* parent, Document& doc, int index, Prompter& prompter)
    : PropertyDialog(parent, doc, index, prompter,
                     {QString::fromUtf8(kTitle), QStringLiteral("打印时条码位置 (计量单位:厘米)"), true})
{
    m_symbology = makeChoiceList(QStringLiteral("组合框_码制"), {"Code128", "EAN13", "Code39", "QR", "DataMatrix", "PDF417"});
    m_data = new QLineEdit;
    m_data->setObjectName(QStringLiteral("编辑框_条码数据"));
    m_dataField = new DataFieldList;
    m_dataField->setToolTip(QStringLiteral("打印一批记录时，条码的数据取自数据文件里这一列的值；空着就用上面的数据"));
    m_humanReadable = new QCheckBox(QStringLiteral("条码下显示文字"));
    m_humanReadable->setObjectName(QStringLiteral("选择框_显示文字"));
    m_module = new QLineEdit;
    m_module->setObjectName(QStringLiteral("编辑框_模块宽度"));
    m_module->setToolTip(QStringLiteral("毫米，0 为自动适应条码框"));
    m_ecc = makeChoiceList(QStringLiteral("组合框_纠错等级"), {"L", "M", "Q", "H"});
    m_rotation = makeChoiceList(QStringLiteral("组合框_旋转"), {"0", "90", "180", "270"});
    m_barColor = new ColorButton(QStringLiteral("颜色选择器_条码颜色"), QStringLiteral("条码颜色"), prompter);
    m_background = new ColorButton(QStringLiteral("颜色选择器_背景颜色"), QStringLiteral("背景颜色"), prompter);
    m_font = new FontGroup(QStringLiteral("分组框_字体"), prompter);
    m_preview = new BarcodePreview(*this);
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("标签_条码提示"));
    m_problem->setStyleSheet(QStringLiteral("color: #b03030;"));
    m_problem->setWordWrap(true);

    auto* group = new QGroupBox(QStringLiteral("条码"));
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("码制："), m_symbology);
    form->addRow(QStringLiteral("数据："), m_data);
    form->addRow(QStringLiteral("数据字段："), m_dataField);
    form->addRow(m_humanReadable);
    form->addRow(QStringLiteral("模块宽度(毫米)："), m_module);
    form->addRow(QStringLiteral("QR 纠错等级："), m_ecc);
    form->addRow(QStringLiteral("旋转(度)："), m_rotation);
    form->addRow(QStringLiteral("条码颜色："), m_barColor);
    form->addRow(QStringLiteral("背景颜色："), m_background);
    // Settings on the left, the preview beside them: stacked, the dialog is
    // taller than a 800-pixel screen.
    auto* settings = new QVBoxLayout;
    settings->addWidget(group);
    settings->addWidget(m_font);
    settings->addStretch();
    auto* shown = new QVBoxLayout;
    shown->addWidget(m_preview, 1);
    shown->addWidget(m_problem);
    auto* columns = new QHBoxLayout;
    columns->addLayout(settings);
    columns->addLayout(shown, 1);
    ownArea()->addLayout(columns);

    const auto changed = [this] { refresh(); };
    connect(m_symbology, &QComboBox::currentIndexChanged, this, changed);
    connect(m_data, &QLineEdit::textChanged, this, changed);
    connect(m_humanReadable, &QCheckBox::toggled, this, changed);
    connect(m_module, &QLineEdit::textChanged, this, changed);
    connect(m_ecc, &QComboBox::currentIndexChanged, this, changed);
    connect(m_rotation, &QComboBox::currentIndexChanged, this, changed);
    connect(m_barColor, &QPushButton::clicked, this, changed);
    connect(m_background, &QPushButton::clicked, this, changed);
    for (const char* name : {"编辑框_打印时_宽度", "编辑框_打印时_高度"})
        if (auto* field = findChild<QLineEdit*>(QString::fromUtf8(name)))
            connect(field, &QLineEdit::textChanged, this, changed);
    if (auto* fontButton = m_font->findChild<QPushButton*>(QStringLiteral("按钮_设置字体样式")))
        connect(fontButton, &QPushButton::clicked, this, changed);
}

void BarcodeDialog::loadOwn()
{
    m_loading = true;
    const Box& b = box();
    const BoxAttributes& a = b.attributes;
    m_symbology->setCurrentIndex(static_cast<int>(a.barcode.symbology));
    m_data->setText(QString::fromStdString(a.text));
    m_dataField->load(dataColumns(), b.dataField);
    m_humanReadable->setChecked(a.barcode.humanReadable);
    m_module->setText(formatDouble(a.barcode.moduleMm));
    m_ecc->setCurrentIndex(static_cast<int>(a.barcode.ecc));
    m_rotation->setCurrentIndex(a.barcode.rotation / 90);
    m_barColor->setColor(a.textColor);
    m_background->setColor(a.bgColor);
    m_font->setChoice(FontChoice{a.font, a.textColor});
    m_loading = false;
    refresh();
}

Box BarcodeDialog::pendingBox() const
{
    auto* self = const_cast<BarcodeDialog*>(this);
    Box b = self->box();
    BoxAttributes& a = b.attributes;
    a.barcode.symbology = static_cast<Symbology>(std::max(0, m_symbology->currentIndex()));
    a.text = m_data->text().toStdString();
    b.dataField = m_dataField->field();
    a.barcode.humanReadable = m_humanReadable->isChecked();
    a.barcode.moduleMm = std::max(0.0, parseNumber(m_module->text()));
    a.barcode.ecc = static_cast<QrEcc>(std::max(0, m_ecc->currentIndex()));
    a.barcode.rotation = 90 * std::max(0, m_rotation->currentIndex());
    a.textColor = m_barColor->color();
    a.bgColor = m_background->color();
    a.font = m_font->choice().font;
    if (auto* field = findChild<QLineEdit*>(QStringLiteral("编辑框_打印时_宽度")))
        b.printRect.width = parseNumber(field->text());
    if (auto* field = findChild<QLineEdit*>(QStringLiteral("编辑框_打印时_高度")))
        b.printRect.height = parseNumber(field->text());
    return b;
}

void BarcodeDialog::refresh()
{
    if (m_loading)
        return;
    const Box b = pendingBox();
    m_ecc->setEnabled(b.attributes.barcode.symbology == Symbology::QR);
    m_humanReadable->setEnabled(isLinear(b.attributes.barcode.symbology));
    // A text line of the chosen font, in millimetres, for the size check.
    QFont font(QString::fromStdString(b.attributes.font.face));
    font.setPointSize(std::max(1, b.attributes.font.size));
    const double textHeightMm = QFontMetricsF(font).height() * 25.4 / logicalDpiY();
    m_problem->setText(QString::fromStdString(barcodeProblem(b, textHeightMm)));
    m_preview->update();
}

void BarcodeDialog::apply()
{
    if (!applyPositions())
        return;
    const Box pending = pendingBox();
    Box& b = box();
    b.attributes.text = pending.attributes.text;
    b.attributes.barcode = pending.attributes.barcode;
    b.attributes.textColor = pending.attributes.textColor;
    b.attributes.bgColor = pending.attributes.bgColor;
    b.attributes.font = pending.attributes.font;
    b.dataField = pending.dataField;
    storeFlags();
    finish();
}

} // namespace ordavel
