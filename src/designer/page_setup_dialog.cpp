#include "designer/page_setup_dialog.h"

#ifdef ORDAVEL_WITH_SCAN
#include "designer/scan_proposals_dialog.h"
#endif
#include "file/value_format.h"
#include "model/document.h"
#include "model/units.h"
#include "platform/file_history.h"
#include "platform/painter_surface.h"
#include "platform/picture_decoder.h"
#include "platform/prompter.h"
#include "print/sheet_layout.h"

#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace ordavel {

namespace {

constexpr const char* kCaption = "页面设置";
constexpr double kTiny = 1e-7;
// The paper sizes a printer and the board can take, as the tool allows them.
constexpr double kMinPaperCm = 1.0;
constexpr double kMaxPaperCm = 500.0;
constexpr const char* kPaperRangeWarning = "纸张的宽度和高度必须在 1 到 500 厘米之间。";

constexpr const char* kSheetRangeWarning = "整张纸的宽度和高度必须在 1 到 500 厘米之间。";
constexpr const char* kSheetCellsWarning = "每张多份的列数和行数必须是 1 到 50 之间的整数。";
constexpr const char* kSheetPlaceWarning = "首份边距和间距不能小于0。";
constexpr const char* kSheetStepWarning = "多于一列（一行）时，横向（纵向）间距必须大于0。";
constexpr const char* kSheetOverflowWarning = "按这些数值，最右一列（最下一行）的表格会超出整张纸。";
static_assert(kMaxSheetCells == 50, "the columns and rows warning names the largest count");

bool paperInRange(float cm) { return cm >= kMinPaperCm - kTiny && cm <= kMaxPaperCm + kTiny; }

QString u(const char* text) { return QString::fromUtf8(text); }
QString q(const std::string& text) { return QString::fromStdString(text); }

// A field's text without leading and trailing ASCII and full-width blanks.
std::string trimmed(const QLineEdit* field)
{
    QString text = field->text();
    auto blank = [](QChar c) { return c == QChar(0x3000) || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toStdString();
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path)
{
    QFile file(q(path));
    if (path.empty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The natural size of the picture file at `path`; 0 x 0 when it is missing
// or not a BMP, JPEG or GIF picture.
QSize pictureSize(const std::string& path)
{
    const std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes || !pictureFault(*bytes).empty())
        return QSize(0, 0);
    return pictureNaturalSize(*bytes);
}

QLineEdit* field(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(u(name));
    return edit;
}

QLabel* label(const char* text, QWidget* parent, const char* name = nullptr)
{
    auto* l = new QLabel(u(text), parent);
    if (name)
        l->setObjectName(u(name));
    return l;
}

} // namespace

PageSetupDialog::PageSetupDialog(Document& document, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_document(document), m_prompter(prompter)
{
    setObjectName(u(kCaption));
    setWindowTitle(u(kCaption));
    setModal(true);
    build();
    load();
}

void PageSetupDialog::build()
{
    m_paperWidth = field("编辑框_纸张宽度", this);
    m_paperHeight = field("编辑框_纸张高度", this);
    m_boardWidth = field("编辑框_画板宽度", this);
    m_boardHeight = field("编辑框_画板高度", this);
    m_path = field("编辑框_画板底图文件路径", this);

    m_choose = new QPushButton(u("..."), this);
    m_choose->setObjectName(u("按钮_选择文件"));
    m_clear = new QPushButton(u("清除图片(&C)"), this);
    m_clear->setObjectName(u("按钮_清除图片"));
    m_scan = new QPushButton(u("扫描生成..."), this);
    m_scan->setObjectName(u("按钮_扫描生成"));
#ifndef ORDAVEL_WITH_SCAN
    m_scan->hide(); // a build without the scan analysis (Windows)
#endif
    m_topLeft = new QRadioButton(u("图片居于左上显示"), this);
    m_topLeft->setObjectName(u("单选框_图片显示方式_左上"));
    m_centred = new QRadioButton(u("图片居中显示"), this);
    m_centred->setObjectName(u("单选框_图片显示方式_居中"));
    m_stretched = new QRadioButton(u("图片缩放显示"), this);
    m_stretched->setObjectName(u("单选框_图片显示方式_缩放"));
    m_fit = new QCheckBox(u("根据图像自动调整报表的高度和宽度"), this);
    m_fit->setObjectName(u("选择框_根据图像自动调整画板的高度和宽度"));
    m_print = new QCheckBox(u("打印背景图片"), this);
    m_print->setObjectName(u("选择框_打印背景图片"));
    m_colorButton = new QToolButton(this);
    m_colorButton->setObjectName(u("颜色选择器_工作台背景颜色"));
    m_colorButton->setIconSize(QSize(48, 14));
    m_ok = new QPushButton(u("确定(&O)"), this);
    m_ok->setObjectName(u("按钮_确定"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(u("取消"), this);
    m_cancel->setObjectName(u("按钮_取消"));

    auto* sizes = new QGridLayout;
    sizes->addWidget(label("纸张宽度：", this), 0, 0);
    sizes->addWidget(m_paperWidth, 0, 1);
    sizes->addWidget(label("纸张高度：", this), 0, 2);
    sizes->addWidget(m_paperHeight, 0, 3);
    sizes->addWidget(label("(计量单位:厘米)", this, "标签_计量单位"), 0, 4);
    sizes->addWidget(label("画板宽度：", this), 1, 0);
    sizes->addWidget(m_boardWidth, 1, 1);
    sizes->addWidget(label("画板高度：", this), 1, 2);
    sizes->addWidget(m_boardHeight, 1, 3);
    sizes->addWidget(label("(计量单位:像素)", this, "标签_计量单位1"), 1, 4);

    auto* picture = new QHBoxLayout;
    picture->addWidget(label("画板底图：", this));
    picture->addWidget(m_path, 1);
    picture->addWidget(m_choose);
    picture->addWidget(m_clear);
    picture->addWidget(m_scan);

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_topLeft);
    modes->addWidget(m_centred);
    modes->addWidget(m_stretched);

    auto* colour = new QHBoxLayout;
    colour->addWidget(label("背景颜色：", this));
    colour->addWidget(m_colorButton);
    colour->addStretch(1);

    m_sheet = new QCheckBox(u("每张多份"), this);
    m_sheet->setObjectName(u("选择框_每张多份"));
    static constexpr std::array<const char*, 8> kSheetNames{
        "编辑框_整张纸宽度", "编辑框_整张纸高度", "编辑框_每张列数", "编辑框_每张行数",
        "编辑框_首份左边距", "编辑框_首份上边距", "编辑框_横向间距", "编辑框_纵向间距"};
    static constexpr std::array<const char*, 8> kSheetLabels{
        "整张纸宽度：", "整张纸高度：", "列数：", "行数：", "首份左边距：", "首份上边距：", "横向间距：", "纵向间距："};
    auto* sheet = new QGridLayout;
    sheet->addWidget(m_sheet, 0, 0, 1, 4);
    for (std::size_t i = 0; i < m_sheetFields.size(); ++i) {
        m_sheetFields[i] = field(kSheetNames[i], this);
        const int row = 1 + static_cast<int>(i) / 2;
        const int column = static_cast<int>(i) % 2 * 2;
        sheet->addWidget(label(kSheetLabels[i], this), row, column);
        sheet->addWidget(m_sheetFields[i], row, column + 1);
    }
    // The steps go from one form's corner to the next one's, not between the forms.
    m_sheetFields[6]->setToolTip(u("从一份的左边到下一份的左边"));
    m_sheetFields[7]->setToolTip(u("从一份的上边到下一份的上边"));
    sheet->addWidget(label("(计量单位:厘米)", this, "标签_计量单位2"), 1, 4);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* all = new QVBoxLayout(this);
    all->addLayout(sizes);
    all->addLayout(picture);
    all->addLayout(modes);
    all->addWidget(m_fit);
    all->addWidget(m_print);
    all->addLayout(colour);
    all->addLayout(sheet);
    all->addLayout(buttons);

    connect(m_paperWidth, &QLineEdit::textChanged, this, [this](const QString& t) { paperChanged(m_boardWidth, t); });
    connect(m_paperHeight, &QLineEdit::textChanged, this, [this](const QString& t) { paperChanged(m_boardHeight, t); });
    connect(m_fit, &QCheckBox::clicked, this, [this] { updateBoardFields(); });
    connect(m_sheet, &QCheckBox::toggled, this, [this] { updateSheetFields(); });
    connect(m_choose, &QPushButton::clicked, this, [this] { choosePicture(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { clearPicture(); });
    connect(m_scan, &QPushButton::clicked, this, [this] { scanForm(); });
    connect(m_colorButton, &QToolButton::clicked, this, [this] { chooseColor(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { applyAndClose(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QLineEdit* edit : {m_paperWidth, m_paperHeight, m_boardWidth, m_boardHeight})
        edit->installEventFilter(this);
}

void PageSetupDialog::load()
{
    const PageSettings& page = m_document.page();
    m_paperWidth->setText(q(formatPaperSize(page.pageWidth)));
    m_paperHeight->setText(q(formatPaperSize(page.pageHeight)));
    // The board fields show the board as it is, not as the paper would make it.
    m_boardWidth->setText(q(formatInt(page.boardWidth)));
    m_boardHeight->setText(q(formatInt(page.boardHeight)));
    // The fit was chosen last time exactly when the board has the picture's size.
    const QSize size = page.backgroundPath.empty() ? QSize() : pictureSize(page.backgroundPath);
    m_fit->setChecked(!page.backgroundPath.empty() && size.width() == page.boardWidth &&
                      size.height() == page.boardHeight);
    updateBoardFields();
    m_path->setText(q(page.backgroundPath));
    m_topLeft->setChecked(page.imgShowType == 0);
    m_stretched->setChecked(page.imgShowType == 1);
    m_centred->setChecked(page.imgShowType == 2);
    if (page.imgShowType < 0 || page.imgShowType > 2) {
        // Radio buttons of one group refuse to all be off unless told so.
        for (QRadioButton* radio : {m_topLeft, m_centred, m_stretched}) {
            radio->setAutoExclusive(false);
            radio->setChecked(false);
            radio->setAutoExclusive(true);
        }
    }
    m_color = page.bgColor;
    showColor();
    m_print->setChecked(page.isPrintBgPic);

    // Without a sheet the fields offer one form to an A4 sheet, stepped by the form.
    const bool sheetOn = page.sheet.active();
    const SheetLayout shown = sheetOn ? page.sheet
                                      : SheetLayout{21.0, 29.7, 1, 1, 0.0, 0.0, page.pageWidth, page.pageHeight};
    const std::array<double, 8> values{shown.widthCm, shown.heightCm, double(shown.columns), double(shown.rows),
                                       shown.leftCm,  shown.topCm,    shown.stepXCm,         shown.stepYCm};
    for (std::size_t i = 0; i < values.size(); ++i)
        m_sheetFields[i]->setText(q(formatPrintValue(roundTo(values[i], 4))));
    m_sheet->setChecked(sheetOn);
    updateSheetFields();
}

QRadioButton* PageSetupDialog::modeButton(int mode) const
{
    switch (mode) {
    case 0: return m_topLeft;
    case 1: return m_stretched;
    case 2: return m_centred;
    default: return nullptr;
    }
}

void PageSetupDialog::paperChanged(QLineEdit* board, const QString& text)
{
    if (m_fit->isChecked())
        return;
    // Both directions use the horizontal factor; the two are equal.
    const double cm = readNumber(text.toStdString());
    board->setText(q(formatPrintValue(roundTo(cm * m_document.factors().pagePxPerCmX, 0))));
}

void PageSetupDialog::updateBoardFields()
{
    const bool fit = m_fit->isChecked();
    m_boardWidth->setEnabled(!fit);
    m_boardHeight->setEnabled(!fit);
}

void PageSetupDialog::updateSheetFields()
{
    for (QLineEdit* edit : m_sheetFields)
        edit->setEnabled(m_sheet->isChecked());
}

std::optional<SheetLayout> PageSetupDialog::readSheet(double formWidthCm, double formHeightCm)
{
    std::array<double, 8> v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = readNumber(trimmed(m_sheetFields[i]));
    const auto fail = [this](QLineEdit* edit, const char* text) -> std::optional<SheetLayout> {
        warn(text);
        edit->setFocus(Qt::OtherFocusReason);
        return std::nullopt;
    };
    for (std::size_t i : {0u, 1u})
        if (!(v[i] > kTiny) || !paperInRange(static_cast<float>(v[i])))
            return fail(m_sheetFields[i], kSheetRangeWarning);
    for (std::size_t i : {2u, 3u})
        if (v[i] != std::floor(v[i]) || v[i] < 1 || v[i] > kMaxSheetCells)
            return fail(m_sheetFields[i], kSheetCellsWarning);
    for (std::size_t i : {4u, 5u, 6u, 7u})
        if (v[i] < 0 || v[i] > kMaxPaperCm)
            return fail(m_sheetFields[i], kSheetPlaceWarning);
    // Two forms at one place would print over each other.
    if (v[2] > 1 && !(v[6] > kTiny))
        return fail(m_sheetFields[6], kSheetStepWarning);
    if (v[3] > 1 && !(v[7] > kTiny))
        return fail(m_sheetFields[7], kSheetStepWarning);
    // The last form across and down must end on the sheet, or it prints off the paper.
    constexpr double kSlack = 0.005; // half a tenth of a millimetre, for the typed decimals
    if (v[4] + (v[2] - 1) * v[6] + formWidthCm > v[0] + kSlack)
        return fail(m_sheetFields[2], kSheetOverflowWarning);
    if (v[5] + (v[3] - 1) * v[7] + formHeightCm > v[1] + kSlack)
        return fail(m_sheetFields[3], kSheetOverflowWarning);
    return SheetLayout{v[0], v[1], static_cast<int>(v[2]), static_cast<int>(v[3]), v[4], v[5], v[6], v[7]};
}

void PageSetupDialog::warn(const char* text)
{
    m_prompter.show(Message{text, kCaption, MessageIcon::Exclamation, MessageButtons::Ok});
}

bool PageSetupDialog::checkPaperField(QLineEdit* edit)
{
    const float value = static_cast<float>(readNumber(edit->text().toStdString()));
    if (!(value > kTiny)) {
        warn("纸张高度、宽度值必须大于0");
        return false;
    }
    if (!paperInRange(value)) {
        warn(kPaperRangeWarning);
        return false;
    }
    return true;
}

bool PageSetupDialog::checkBoardField(QLineEdit* edit, double minimum)
{
    const double value = readNumber(edit->text().toStdString());
    if (value - minimum > kTiny)
        return true;
    const std::string text = "画板高度、宽度值必须大于" + formatPrintValue(minimum);
    warn(text.c_str());
    return false;
}

bool PageSetupDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving a size field checks it. Focus lost to another window (the
    // warning itself, a chooser) is no leaving, and one warning at a time.
    if (event->type() == QEvent::FocusOut && !m_warning) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const UnitFactors& f = m_document.factors();
            auto* edit = static_cast<QLineEdit*>(watched);
            bool ok = true;
            m_warning = true;
            if (edit == m_paperWidth || edit == m_paperHeight)
                ok = checkPaperField(edit);
            else if (edit == m_boardWidth)
                ok = checkBoardField(edit, f.pagePxPerCmX);
            else if (edit == m_boardHeight)
                ok = checkBoardField(edit, f.pagePxPerCmY);
            if (!ok)
                edit->setFocus(Qt::OtherFocusReason);
            m_warning = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PageSetupDialog::choosePicture()
{
    FileChoice choice;
    choice.title = "选择页面底图";
    choice.filter = "所有图片文件(不能打开.png文件)|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif|所有文件(*.*)|*.*";
    choice.defaultExtension = ".jpg";
    const std::optional<std::string> chosen = chooseFileFrom(m_prompter, choice, m_document.fileName());
    if (chosen) {
        // A picture the board could not show or the printer print is refused
        // now, not found out later as a white board.
        const std::optional<std::string> bytes = readWholeFile(*chosen);
        const std::string refusal = bytes ? pictureRefusal(*chosen, *bytes)
                                          : "读取图片文件失败，请重试。\r\n（" + *chosen + "）";
        if (!refusal.empty()) {
            warn(refusal.c_str());
            return;
        }
    }
    m_path->setText(chosen ? q(*chosen) : QString());
}

void PageSetupDialog::clearPicture()
{
    // Takes effect at once, whether the dialog ends with OK or Cancel.
    m_path->clear();
    PageSettings& page = m_document.page();
    page.backgroundPath.clear();
    page.background.clear();
    m_document.notifyPageChanged();
    m_document.setTitle(true);
}

void PageSetupDialog::scanForm()
{
    // The scan carries its own paper size and picture: what the fields here
    // say would overwrite them on OK, so the dialog ends with the scan's page.
#ifdef ORDAVEL_WITH_SCAN
    if (scanIntoDocument(m_document, m_prompter, this)) {
        m_document.setTitle(true);
        accept();
    }
#endif
}

void PageSetupDialog::showColor()
{
    QPixmap swatch(m_colorButton->iconSize());
    swatch.fill(toQColor(m_color));
    m_colorButton->setIcon(QIcon(swatch));
}

void PageSetupDialog::chooseColor()
{
    if (const std::optional<Color> chosen = m_prompter.chooseColor(m_color, "背景颜色")) {
        m_color = *chosen;
        showColor();
    }
}

void PageSetupDialog::applyAndClose()
{
    const UnitFactors& f = m_document.factors();
    const std::string path = trimmed(m_path);
    int boardWidth = 0;
    int boardHeight = 0;
    if (m_fit->isChecked()) {
        if (path.empty()) {
            warn("选择了 **根据图像自动调整画板的高度和宽度** 项，但是没有选择底图文件。");
            m_choose->setFocus(Qt::OtherFocusReason);
            return;
        }
        const QSize size = pictureSize(path);
        m_paperWidth->setText(q(formatPrintValue(roundTo(size.width() / f.boxPxPerCmX, 2))));
        m_paperHeight->setText(q(formatPrintValue(roundTo(size.height() / f.boxPxPerCmY, 2))));
        boardWidth = size.width();
        boardHeight = size.height();
    } else {
        boardWidth = readInt(trimmed(m_boardWidth));
        boardHeight = readInt(trimmed(m_boardHeight));
    }
    const float paperWidth = static_cast<float>(readNumber(trimmed(m_paperWidth)));
    const float paperHeight = static_cast<float>(readNumber(trimmed(m_paperHeight)));
    // A paper too large for single precision would print as garbage: refused like 0.
    if (!(paperWidth > kTiny) || !(paperHeight > kTiny) || !std::isfinite(paperWidth) ||
        !std::isfinite(paperHeight) || boardWidth < 1 || boardHeight < 1) {
        m_prompter.show(Message{"报表及打印时纸张的大小必须大于0。", kCaption, MessageIcon::Stop, MessageButtons::Ok});
        return;
    }
    if (!paperInRange(paperWidth) || !paperInRange(paperHeight)) {
        warn(kPaperRangeWarning);
        return;
    }

    SheetLayout sheet;
    if (m_sheet->isChecked()) {
        const std::optional<SheetLayout> read = readSheet(paperWidth, paperHeight);
        if (!read)
            return;
        sheet = *read;
    }

    m_document.setPageSizes(paperWidth, paperHeight, boardWidth, boardHeight);
    PageSettings& page = m_document.page();
    const std::optional<std::string> bytes = path.empty() ? std::nullopt : readWholeFile(path);
    // A file that cannot be read leaves no picture rather than a path to nothing.
    page.background = bytes ? *bytes : std::string();
    page.backgroundPath = bytes ? path : std::string();
    if (m_topLeft->isChecked())
        page.imgShowType = 0;
    if (m_stretched->isChecked())
        page.imgShowType = 1;
    if (m_centred->isChecked())
        page.imgShowType = 2;
    page.bgColor = m_color;
    page.isPrintBgPic = m_print->isChecked();
    page.sheet = sheet;
    m_document.notifyPageChanged();
    m_document.setTitle(true);
    accept();
}

} // namespace ordavel
