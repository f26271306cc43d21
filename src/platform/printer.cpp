#include "platform/printer.h"

#include "platform/cups_jobs.h"
#include "platform/painter_surface.h"
#include "print/calibrated_surface.h"
#include "print/sheet_layout.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>
#include <QProgressDialog>

#include <cmath>
#include <memory>

namespace ordavel {

Message printOutputFailed(const QPrinter& printer)
{
    const bool toFile = !printer.outputFileName().isEmpty();
    std::string text = toFile ? "创建文件失败，请重试。" : "打开打印机失败，请重试。";
    const QString target = toFile ? printer.outputFileName() : printer.printerName();
    // Qt forgets the name of a printer it could not find.
    if (!target.isEmpty())
        text += "\r\n（" + target.toStdString() + "）";
    return Message{text, "打印文件", MessageIcon::Stop, MessageButtons::Ok};
}

std::unique_ptr<QProgressDialog> makePrintProgress(QWidget* parent, int steps)
{
    if (parent == nullptr)
        return nullptr;
    auto progress = std::make_unique<QProgressDialog>(QStringLiteral("正在打印..."), QStringLiteral("取消"), 0,
                                                      std::max(1, steps), parent);
    progress->setObjectName(QStringLiteral("进度框_打印"));
    progress->setWindowTitle(QStringLiteral("打印文件"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    return progress;
}

bool printPageOn(QPainter& painter, const Document& doc, const Calibration& calibration,
                 const PrintProgress& progress, const BoxFilter& view)
{
    if (calibration.isIdentity()) {
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        return printPage(doc, surface, progress, view);
    }
    PainterSurface surface(painter, PainterSurface::Units::HundredthsMm);
    CalibratedSurface corrected(surface, calibration);
    return printPage(doc, corrected, progress, view);
}

void moveToCell(QPainter& painter, const SheetSlot& slot, const Calibration& calibration)
{
    const double dotsPerCmX = painter.device()->logicalDpiX() / 2.54;
    const double dotsPerCmY = painter.device()->logicalDpiY() / 2.54;
    painter.translate(slot.leftCm * dotsPerCmX * calibration.scaleXPercent / 100.0,
                      slot.topCm * dotsPerCmY * calibration.scaleYPercent / 100.0);
}

bool printFormOn(QPainter& painter, QPagedPaintDevice& device, const Document& doc, const Calibration& calibration,
                 const BoxFilter& view, int form, int startCell)
{
    const SheetLayout& layout = doc.page().sheet;
    const SheetSlot slot = sheetSlot(layout, form, startCell);
    if (form > 0 && (!layout.active() || slot.sheet != sheetSlot(layout, form - 1, startCell).sheet))
        device.newPage();
    if (!layout.active())
        return printPageOn(painter, doc, calibration, {}, view);
    painter.save();
    moveToCell(painter, slot, calibration);
    const bool drawn = printPageOn(painter, doc, calibration, {}, view);
    painter.restore();
    return drawn;
}

bool abandonJob(QPainter& painter, QPrinter& printer, std::time_t began)
{
    printer.abort();
    painter.end();
    // Qt's CUPS engine has sent the pages drawn so far all the same.
    if (printer.outputFormat() != QPrinter::NativeFormat)
        return true;
    return cancelJobSentSince(printer.printerName().toStdString(), began);
}

QPageLayout jobPageLayout(const JobPaper& paper)
{
    const QPageSize size(QSizeF(paper.widthMm(), paper.heightMm()), QPageSize::Millimeter, QString(),
                         QPageSize::ExactMatch);
    QPageLayout layout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

namespace {

#ifndef Q_OS_WIN
// Qt's CUPS engine keeps the job options of the print dialog under this
// property, as name, value, name, value...; it sends them with the job.
constexpr auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

void setCupsOptions(QPrinter& printer, const JobPaper& paper)
{
    QPrintEngine* engine = printer.printEngine();
    if (engine == nullptr || printer.outputFormat() != QPrinter::NativeFormat)
        return;
    QStringList options = engine->property(kCupsOptions).toStringList();
    for (const auto& [name, value] : paper.cupsOptions()) {
        // Qt sends the media itself, from the page size.
        if (name == "media")
            continue;
        const QString key = QString::fromStdString(name);
        qsizetype at = 0;
        while (at + 1 < options.size() && options[at] != key)
            at += 2;
        if (at + 1 < options.size())
            options[at + 1] = QString::fromStdString(value);
        else
            options << key << QString::fromStdString(value);
    }
    engine->setProperty(kCupsOptions, options);
}
#endif

} // namespace

std::vector<std::pair<std::string, std::string>> dialogOptionsOf(QPrinter& printer)
{
    std::vector<std::pair<std::string, std::string>> out;
#ifndef Q_OS_WIN
    QPrintEngine* engine = printer.printEngine();
    if (engine == nullptr || printer.outputFormat() != QPrinter::NativeFormat)
        return out;
    const QStringList options = engine->property(kCupsOptions).toStringList();
    for (qsizetype at = 0; at + 1 < options.size(); at += 2) {
        const std::string name = options[at].toStdString();
        if (name != "copies" && name != "media" && name != "PageSize")
            out.emplace_back(name, options[at + 1].toStdString());
    }
#else
    (void)printer;
#endif
    return out;
}

void setExactPaper(QPrinter& printer, const std::optional<JobPaper>& paper)
{
    if (paper) {
        printer.setPageSize(jobPageLayout(*paper).pageSize());
#ifndef Q_OS_WIN
        setCupsOptions(printer, *paper);
#endif
    }
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPageLayout layout = printer.pageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(0, 0, 0, 0));
    printer.setPageLayout(layout);
}

void configurePrinter(QPrinter& printer, const PageSettings& page, double pageLengthMm)
{
    setExactPaper(printer, jobPaper(page, pageLengthMm));
}

bool printDocument(const Document& doc, QPrinter& printer, QWidget* progressParent,
                   const Calibration& calibration, MessageSink* sink, const BoxFilter& view,
                   const std::function<void()>& beforeHandOver)
{
    configurePrinter(printer, doc.page(), calibration.pageLengthMm);
    const std::time_t began = std::time(nullptr);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (sink != nullptr)
            sink->show(printOutputFailed(printer));
        return false;
    }

    const std::unique_ptr<QProgressDialog> progress = makePrintProgress(progressParent, doc.slotCount());
    if (progress && !calibration.isIdentity())
        progress->setLabelText(QStringLiteral("正在打印...\n打印机校准：")
                               + QString::fromStdString(describeCalibration(calibration)));

    // A form of several to a sheet goes into the sheet's first cell.
    if (doc.page().sheet.active())
        moveToCell(painter, sheetSlot(doc.page().sheet, 0), calibration);
    const bool completed = printPageOn(painter, doc, calibration, [&](int index) {
        if (!progress)
            return true;
        progress->setValue(index);
        QCoreApplication::processEvents();
        return !progress->wasCanceled();
    }, view);
    if (beforeHandOver)
        beforeHandOver();
    if (!completed) {
        abandonJob(painter, printer, began);
        return false;
    }
    return painter.end();
}

} // namespace ordavel
