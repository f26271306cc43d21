#include "designer/scan_proposals_dialog.h"

#include "designer/scan_review.h"
#include "designer/scan_review_state.h"
#include "file/file_system.h"
#include "file/picture.h"
#include "model/document.h"
#include "platform/prompter.h"
#include "scan/caption_reader.h"
#include "scan/scan_file.h"
#include "scan/scan_template.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace ordavel {

namespace {

constexpr const char* kTitle = "扫描生成";
constexpr const char* kReplaceQuestion =
    "报表中已有框格。\r\n选“是”用扫描生成的框格替换原有的框格，选“否”把扫描生成的框格加到原有的框格中，选“取消”不扫描。";
constexpr std::uintmax_t kMaxScanBytes = std::uintmax_t{512} << 20;

struct PaperPreset {
    const char* name;
    double widthCm;
    double heightCm;
};

constexpr PaperPreset kPresets[] = {
    {"运单 23.0 × 12.7 厘米", 23.0, 12.7},
    {"24.1 × 14.0 厘米", 24.1, 14.0},
    {"A4 21.0 × 29.7 厘米", 21.0, 29.7},
    {"A5 14.8 × 21.0 厘米", 14.8, 21.0},
};
constexpr int kCustom = static_cast<int>(std::size(kPresets));
// How far a preset may be from the scan's size or proportions to be chosen for it.
constexpr double kPaperTolerance = 0.03;

// The presets in the order offered, the entry chosen (-1: the custom size)
// and the custom size offered.
struct PaperChoice {
    std::vector<int> order;
    int entry = -1;
    scan::PaperSize custom{21.0, 29.7};
};

// The relative difference of two positive numbers: |a/b - 1|.
double mismatch(double a, double b) { return std::abs(a / b - 1.0); }

PaperChoice choosePaper(int widthPx, int heightPx, double dpiX, double dpiY)
{
    PaperChoice choice;
    for (int i = 0; i < kCustom; ++i)
        choice.order.push_back(i);
    if (widthPx <= 0 || heightPx <= 0) {
        choice.entry = 0;
        return choice;
    }
    const double aspect = static_cast<double>(widthPx) / heightPx;
    const auto aspectMismatch = [&](int preset) { return mismatch(kPresets[preset].widthCm / kPresets[preset].heightCm, aspect); };
    std::stable_sort(choice.order.begin(), choice.order.end(),
                     [&](int a, int b) { return aspectMismatch(a) < aspectMismatch(b); });
    if (dpiX > 1 && dpiY > 1) {
        // The scan's own size: a preset when one matches it, else the custom size.
        const scan::PaperSize stated{widthPx / dpiX * 2.54, heightPx / dpiY * 2.54};
        choice.custom = stated;
        for (std::size_t k = 0; k < choice.order.size(); ++k) {
            const PaperPreset& preset = kPresets[choice.order[k]];
            if (mismatch(preset.widthCm, stated.widthCm) <= kPaperTolerance &&
                mismatch(preset.heightCm, stated.heightCm) <= kPaperTolerance) {
                choice.entry = static_cast<int>(k);
                break;
            }
        }
        return choice;
    }
    const PaperPreset& best = kPresets[choice.order.front()];
    if (aspectMismatch(choice.order.front()) <= kPaperTolerance)
        choice.entry = 0;
    else
        choice.custom = {best.widthCm, best.widthCm / aspect};
    return choice;
}

void tell(Prompter& prompter, const std::string& text)
{
    prompter.show(Message{text, kTitle, MessageIcon::Exclamation, MessageButtons::Ok});
}

QImage toImage(const scan::Picture& picture)
{
    if (picture.empty())
        return {};
    const QImage::Format format = picture.channels == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
    return QImage(picture.pixels.data(), picture.width, picture.height, picture.width * picture.channels, format)
        .copy();
}

// The analysis on a thread of its own; the GUI thread keeps the progress
// window live and asks the analysis to stop when it is cancelled.
std::optional<scan::ScanAnalysis> analyseWithProgress(const scan::Picture& picture, scan::PaperSize paper,
                                                      QWidget* parent)
{
    QProgressDialog progress(QStringLiteral("正在分析扫描件..."), QStringLiteral("取消"), 0, 100, parent);
    progress.setObjectName(QStringLiteral("进度框_扫描生成"));
    progress.setWindowTitle(QString::fromUtf8(kTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);

    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::atomic<int> percent{0};
    scan::ScanAnalysis result;
    std::thread worker([&] {
        scan::CaptionReader reader;
        result = scan::analyseScan(picture, paper, reader, [&](double share) {
            percent = static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 100.0));
            return !stop.load();
        });
        done = true;
    });
    QObject::connect(&progress, &QProgressDialog::canceled, [&] {
        stop = true;
        progress.setLabelText(QStringLiteral("正在取消..."));
    });
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(30);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (progress.wasCanceled())
            stop = true;
        if (done.load()) {
            loop.quit();
            return;
        }
        if (!stop.load())
            progress.setValue(std::min(percent.load(), 99));
    });
    poll.start();
    loop.exec();
    worker.join();
    if (stop.load() || result.cancelled)
        return std::nullopt;
    return result;
}

} // namespace

// ---------------------------------------------------------------- paper

ScanPaperDialog::ScanPaperDialog(int widthPx, int heightPx, double dpiX, double dpiY, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("对话框_扫描纸张"));
    setWindowTitle(QStringLiteral("扫描件的纸张"));
    m_presets = new QComboBox(this);
    m_width = new QDoubleSpinBox(this);
    m_height = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* box : {m_width, m_height}) {
        box->setRange(1.0, 300.0);
        box->setDecimals(1);
        box->setSingleStep(0.1);
        box->setSuffix(QStringLiteral(" 厘米"));
    }
    const PaperChoice choice = choosePaper(widthPx, heightPx, dpiX, dpiY);
    m_order = choice.order;
    for (const int preset : m_order)
        m_presets->addItem(QString::fromUtf8(kPresets[preset].name));
    m_presets->addItem(QStringLiteral("自定义"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("纸张："), m_presets);
    form->addRow(QStringLiteral("宽度："), m_width);
    form->addRow(QStringLiteral("高度："), m_height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(m_presets, &QComboBox::currentIndexChanged, this, &ScanPaperDialog::choosePreset);
    if (choice.entry >= 0)
        choosePreset(choice.entry);
    else
        setCustomSize(choice.custom.widthCm, choice.custom.heightCm);
}

void ScanPaperDialog::choosePreset(int index)
{
    if (m_presets->currentIndex() != index)
        m_presets->setCurrentIndex(index); // comes back here through the signal
    const bool custom = index == kCustom;
    m_width->setEnabled(custom);
    m_height->setEnabled(custom);
    if (!custom && index >= 0 && index < kCustom) {
        const PaperPreset& preset = kPresets[m_order[static_cast<std::size_t>(index)]];
        m_width->setValue(preset.widthCm);
        m_height->setValue(preset.heightCm);
    }
}

void ScanPaperDialog::setCustomSize(double widthCm, double heightCm)
{
    choosePreset(kCustom);
    m_width->setValue(widthCm);
    m_height->setValue(heightCm);
}

std::vector<std::string> ScanPaperDialog::entries() const
{
    std::vector<std::string> names;
    for (int i = 0; i < m_presets->count(); ++i)
        names.push_back(m_presets->itemText(i).toStdString());
    return names;
}

int ScanPaperDialog::chosenEntry() const { return m_presets->currentIndex(); }

scan::PaperSize ScanPaperDialog::paper() const
{
    return {m_width->value(), m_height->value()};
}

// ---------------------------------------------------------------- proposals

// The scan scaled to the view with each proposal outlined: kept ones in blue
// with their column name, dropped ones as a thin grey dashed outline only, so
// the print under them stays readable.
class ScanView : public QWidget {
public:
    explicit ScanView(ScanProposalsDialog& dialog) : QWidget(&dialog), m_dialog(dialog)
    {
        setObjectName(QStringLiteral("扫描件"));
        const QSize size = (QSizeF(dialog.m_scan.size()) * dialog.m_scale).toSize();
        setFixedSize(size.expandedTo(QSize(1, 1)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(rect(), m_dialog.m_scan);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        for (int i = 0; i < static_cast<int>(m_dialog.m_fields.size()); ++i) {
            const QRectF r = m_dialog.viewRect(i);
            if (!m_dialog.isKept(i)) {
                QPen pen(QColor(150, 150, 150), 0, Qt::DashLine);
                pen.setCosmetic(true);
                painter.setPen(pen);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
                continue;
            }
            painter.setPen(QPen(QColor(0, 90, 220), 2));
            painter.setBrush(QColor(0, 90, 220, 40));
            painter.drawRect(r);
            const QString name = QString::fromStdString(m_dialog.m_fields[static_cast<std::size_t>(i)].column);
            painter.setPen(QColor(0, 60, 170));
            painter.drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
        }
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        // The releases of a double click are no clicks of their own.
        if (m_afterDoubleClick)
            return;
        const QPoint at = event->position().toPoint();
        const int index = m_dialog.fieldAt(at);
        const Qt::KeyboardModifiers keys = event->modifiers();
        if ((at - m_pressAt).manhattanLength() >= 2 * QApplication::startDragDistance()) {
            if (keys & Qt::ControlModifier) {
                const int from = m_dialog.fieldAt(m_pressAt);
                if (from >= 0 && index >= 0 && from != index)
                    m_dialog.merge(from, index);
            } else {
                m_dialog.addUnderlineAlong(m_pressAt, at);
            }
            return;
        }
        if (index < 0) {
            m_dialog.addCellAt(at);
            return;
        }
        if (keys & Qt::ShiftModifier)
            m_dialog.nameFromCaption(index);
        else if (keys & Qt::ControlModifier)
            m_dialog.split(index, at);
        else
            m_dialog.toggle(index);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_afterDoubleClick = true;
        // The clicks of the pair toggled the field; a rename leaves it as it was before them.
        if (const int index = m_dialog.fieldAt(event->position().toPoint()); index >= 0) {
            if (index == m_pressed && m_dialog.isKept(index) != m_keptBefore)
                m_dialog.toggle(index);
            m_dialog.rename(index);
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        // A press starts a gesture unless it is the second of a double click.
        m_pressAt = event->position().toPoint();
        const int index = m_dialog.fieldAt(m_pressAt);
        if (index != m_pressed || !m_sincePress.isValid() ||
            m_sincePress.elapsed() > QApplication::doubleClickInterval()) {
            m_pressed = index;
            m_keptBefore = index >= 0 && m_dialog.isKept(index);
            m_afterDoubleClick = false;
            m_sincePress.start();
        }
    }

private:
    ScanProposalsDialog& m_dialog;
    bool m_afterDoubleClick = false;
    int m_pressed = -1;       // the field the gesture began on
    bool m_keptBefore = true; // its state then
    QPoint m_pressAt;
    QElapsedTimer m_sincePress;
};

ScanProposalsDialog::ScanProposalsDialog(const QImage& scan, std::vector<scan::ProposedField> fields,
                                         Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_scan(scan), m_fields(std::move(fields)), m_kept(m_fields.size(), true), m_prompter(prompter)
{
    setObjectName(QStringLiteral("对话框_扫描生成"));
    setWindowTitle(QString::fromUtf8(kTitle));
    if (!m_scan.isNull())
        // Wide enough to point at a cell or a line; a tall page scrolls.
        m_scale = std::min(1.0, 900.0 / m_scan.width());
    m_view = new ScanView(*this);
    auto* hint = new QLabel(QStringLiteral("单击框格保留或去掉，双击改名，Shift+单击按左边或上面的标题命名；"
                                           "Ctrl+单击拆分框格，Ctrl+拖到相邻的框格上合并。\n"
                                           "单击表格中空着的格子加入框格，沿横线拖动加入下划线框格；确定后保留的框格加入报表。"),
                            this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("滚动区_扫描件"));
    scroller->setWidget(m_view);
    scroller->setAlignment(Qt::AlignCenter);
    const int frame = 2 * scroller->frameWidth() + scroller->verticalScrollBar()->sizeHint().width();
    scroller->setMinimumSize(std::min(m_view->width(), 900) + frame, std::min(m_view->height(), 560) + frame);
    layout->addWidget(scroller, 1);
    layout->addWidget(buttons);
}

QRectF ScanProposalsDialog::viewRect(int index) const
{
    const scan::PixelRect& r = m_fields[static_cast<std::size_t>(index)].rect;
    return {r.x * m_scale, r.y * m_scale, r.w * m_scale, r.h * m_scale};
}

ScanProposalsDialog::~ScanProposalsDialog() = default;

void ScanProposalsDialog::useRules(const scan::ScanAnalysis& analysis)
{
    m_captions = analysis.captions;
    m_cells = analysis.cells;
    m_lines = analysis.lines;
    m_ruleWidth = analysis.ruleWidth;
    if (analysis.paper.widthCm > 0)
        m_pxPerMm = analysis.width / analysis.paper.widthCm / 10.0;
}

QPoint ScanProposalsDialog::toView(QPoint scanPoint) const
{
    return (QPointF(scanPoint) * m_scale).toPoint();
}

QPoint ScanProposalsDialog::toScan(QPoint viewPoint) const
{
    return (QPointF(viewPoint) / m_scale).toPoint();
}

void ScanProposalsDialog::addField(const scan::PixelRect& rect, const char* kind)
{
    m_fields.push_back(scan::ProposedField{rect, kind, {}, scan::columnNameFor({})});
    m_kept.push_back(true);
    m_view->update();
}

bool ScanProposalsDialog::addCellAt(QPoint viewPoint)
{
    const QPoint at = toScan(viewPoint);
    const std::optional<scan::PixelRect> cell = scanreview::cellFieldAt(m_cells, m_ruleWidth, at.x(), at.y());
    if (!cell)
        return false;
    addField(*cell, "cell");
    return true;
}

bool ScanProposalsDialog::addUnderlineAlong(QPoint from, QPoint to)
{
    // The reach covers a hand's wobble around the line; writing on it is as
    // tall as the form's other underline fields, else as a 6 mm line.
    const double mm = m_pxPerMm > 0 ? m_pxPerMm : 4.0;
    std::vector<int> heights;
    for (const scan::ProposedField& field : m_fields)
        if (field.kind == "underline")
            heights.push_back(field.rect.h);
    int height = static_cast<int>(std::lround(6.0 * mm));
    if (!heights.empty()) {
        std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
        height = heights[heights.size() / 2];
    }
    const int reach = std::max(static_cast<int>(std::lround(1.5 * mm)), static_cast<int>(std::lround(4 / m_scale)));
    const QPoint a = toScan(from);
    const QPoint b = toScan(to);
    const std::optional<scan::PixelRect> field =
        scanreview::underlineAlong(m_lines, {a.x(), a.y()}, {b.x(), b.y()}, reach, height);
    if (!field)
        return false;
    addField(*field, "underline");
    return true;
}

bool ScanProposalsDialog::nameFromCaption(int index)
{
    scan::ProposedField& field = m_fields[static_cast<std::size_t>(index)];
    std::vector<scan::PixelRect> rects;
    for (const scan::PrintedCaption& caption : m_captions)
        rects.push_back(caption.rect);
    const double mm = m_pxPerMm > 0 ? m_pxPerMm : 4.0;
    // Far enough for a caption at the left end of a wide label cell.
    const std::optional<scanreview::CaptionSpot> spot =
        scanreview::captionFor(rects, field.rect, static_cast<int>(std::lround(60.0 * mm)));
    if (!spot)
        return false;
    scan::PrintedCaption& chosen = m_captions[static_cast<std::size_t>(spot->index)];
    std::string text = spot->rect == chosen.rect ? chosen.text : std::string();
    if (text.empty()) {
        if (m_grey.empty()) {
            const QImage grey = m_scan.convertToFormat(QImage::Format_Grayscale8);
            m_grey.width = grey.width();
            m_grey.height = grey.height();
            for (int y = 0; y < grey.height(); ++y)
                m_grey.pixels.insert(m_grey.pixels.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
        }
        if (!m_reader)
            m_reader = std::make_unique<scan::CaptionReader>();
        text = scanreview::readCaption(*m_reader, m_grey, spot->rect);
        if (text.empty())
            return false;
        if (spot->rect == chosen.rect)
            chosen.text = text;
    }
    field.caption = text;
    field.column = scan::columnNameFor(text);
    m_view->update();
    return true;
}

bool ScanProposalsDialog::split(int index, QPoint viewPoint)
{
    const QPoint at = toScan(viewPoint);
    const auto i = static_cast<std::size_t>(index);
    const double mm = m_pxPerMm > 0 ? m_pxPerMm : 4.0;
    const auto parts = scanreview::splitAt(m_fields[i].rect, at.x(), at.y(), static_cast<int>(std::lround(2.0 * mm)));
    if (!parts)
        return false;
    scan::ProposedField second = m_fields[i];
    m_fields[i].rect = parts->first;
    second.rect = parts->second;
    m_fields.insert(m_fields.begin() + index + 1, std::move(second));
    m_kept.insert(m_kept.begin() + index + 1, bool(m_kept[i]));
    m_view->update();
    return true;
}

bool ScanProposalsDialog::merge(int into, int other)
{
    if (into == other)
        return false;
    scan::ProposedField& kept = m_fields[static_cast<std::size_t>(into)];
    const scan::PixelRect& gone = m_fields[static_cast<std::size_t>(other)].rect;
    const bool sameRow = std::min(kept.rect.bottom(), gone.bottom()) > std::max(kept.rect.y, gone.y);
    const bool sameColumn = std::min(kept.rect.right(), gone.right()) > std::max(kept.rect.x, gone.x);
    if (!sameRow && !sameColumn)
        return false;
    kept.rect = scan::unite(kept.rect, gone);
    m_kept[static_cast<std::size_t>(into)] = true;
    m_fields.erase(m_fields.begin() + other);
    m_kept.erase(m_kept.begin() + other);
    m_view->update();
    return true;
}

QPoint ScanProposalsDialog::centreOnView(int index) const
{
    return viewRect(index).center().toPoint();
}

int ScanProposalsDialog::fieldAt(QPoint viewPoint) const
{
    int best = -1;
    double bestArea = 0;
    for (int i = 0; i < static_cast<int>(m_fields.size()); ++i) {
        const QRectF r = viewRect(i);
        if (!r.adjusted(-1, -1, 1, 1).contains(viewPoint))
            continue;
        const double area = r.width() * r.height();
        if (best < 0 || area < bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

void ScanProposalsDialog::toggle(int index)
{
    const auto i = static_cast<std::size_t>(index);
    m_kept[i] = !m_kept[i];
    m_view->update();
}

void ScanProposalsDialog::rename(int index)
{
    scan::ProposedField& field = m_fields[static_cast<std::size_t>(index)];
    const std::optional<std::string> name = m_prompter.askText("数据列的名称：", kTitle, field.column);
    if (!name || scan::tidyCaption(*name).empty())
        return;
    field.column = scan::columnNameFor(*name);
    m_view->update();
}

std::vector<scan::ProposedField> ScanProposalsDialog::keptFields() const
{
    std::vector<scan::ProposedField> kept;
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_kept[i])
            kept.push_back(m_fields[i]);
    return kept;
}

// ---------------------------------------------------------------- command

bool scanIntoDocument(Document& doc, Prompter& prompter, QWidget* parent, ScanReviewState* review)
{
    // A template that has boxes already: the scan's boxes replace them or join them.
    bool replace = false;
    if (doc.liveBoxCount() > 0) {
        const MessageAnswer answer =
            prompter.show(Message{kReplaceQuestion, kTitle, MessageIcon::Question, MessageButtons::YesNoCancel});
        if (answer != MessageAnswer::Yes && answer != MessageAnswer::No)
            return false;
        replace = answer == MessageAnswer::Yes;
    }
    FileChoice choice;
    choice.title = "选择扫描件";
    choice.filter = "扫描件(*.png;*.jpg;*.jpeg;*.bmp;*.tif;*.tiff)|*.png;*.jpg;*.jpeg;*.bmp;*.tif;*.tiff|所有文件(*.*)|*.*";
    const std::optional<std::string> path = prompter.chooseOpenFile(choice);
    if (!path)
        return false;
    FileStatus status;
    const std::optional<std::string> bytes = readRegularFile(*path, kMaxScanBytes, &status);
    if (!bytes) {
        tell(prompter, "无法读取扫描件：" + describeFileStatus(status) + "\r\n（" + *path + "）");
        return false;
    }
    std::string error;
    const std::optional<scan::ScanImage> image = scan::readScanBytes(*bytes, &error);
    if (!image) {
        tell(prompter, "无法读取扫描件：" + error + "\r\n（" + *path + "）");
        return false;
    }

    ScanPaperDialog paperDialog(image->picture.width, image->picture.height, image->dpiX, image->dpiY, parent);
    if (paperDialog.exec() != QDialog::Accepted)
        return false;
    const scan::PaperSize paper = paperDialog.paper();

    const std::optional<scan::ScanAnalysis> analysis = analyseWithProgress(image->picture, paper, parent);
    if (!analysis)
        return false;
    if (analysis->fields.empty()) {
        tell(prompter, "扫描件上没有找到可填写的框格。");
        return false;
    }

    ScanProposalsDialog proposals(toImage(image->picture), analysis->fields, prompter, parent);
    proposals.useRules(*analysis);
    if (proposals.exec() != QDialog::Accepted)
        return false;
    std::vector<scan::ProposedField> kept = proposals.keptFields();
    scan::makeColumnsUnique(kept);

    const double dpi = analysis->width / (paper.widthCm / 2.54);
    std::string background = scan::backgroundBytes(*bytes, image->picture, dpi);
    if (background.empty()) {
        tell(prompter, "无法把扫描件转换为背景图片。");
        return false;
    }
    // Page setup shows the file the background came from and reads it again
    // on OK: the scan itself when it is carried unchanged, else a temporary
    // copy of the JPEG made from it.
    std::string backgroundPath = *path;
    std::string tempPath;
    if (background != *bytes) {
        tempPath = createBackgroundTempFile();
        std::string writeError;
        if (tempPath.empty() || !writeFileAtomically(tempPath, background, &writeError)) {
            removeFileQuietly(tempPath);
            tempPath.clear();
        }
        backgroundPath = tempPath;
    }
    // All in one go after the dialogs have closed, so that it is one undo step.
    if (replace) {
        for (int i = 1; i <= doc.slotCount(); ++i)
            if (doc.box(i).inUse)
                doc.deleteBox(i);
        doc.clearSelection();
    }
    scan::setScanPage(doc, paper, std::move(background), std::move(backgroundPath));
    if (!tempPath.empty())
        doc.page().backgroundTempPath = tempPath;
    scan::addFieldBoxes(doc, *analysis, kept);
    if (review)
        review->keep(*analysis, image->picture);
    return true;
}

} // namespace ordavel
