#include "page_output.h"

#include "platform/painter_surface.h"
#include "platform/printer.h"
#include "print/calibrated_surface.h"
#include "print/print_job.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace ordavel::cli {

namespace {

std::string partName(const std::string& path) { return path + ".part"; }

// The largest PNG page we are willing to allocate (about 1 GB of pixels).
constexpr long long kMaxPngPixels = 256LL * 1024 * 1024;

} // namespace

std::string writePdf(const Document& doc, const std::string& path, const Calibration& calibration)
{
    const std::string part = partName(path);
    bool ok = false;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(part));
        printer.setCreator(QStringLiteral("Ordavel"));
        ok = printDocument(doc, printer, nullptr, calibration);
    }
    if (ok && std::rename(part.c_str(), path.c_str()) == 0)
        return {};
    std::remove(part.c_str());
    return "cannot write \"" + path + "\"";
}

std::string writePng(const Document& doc, const std::string& path, int dpi, const Calibration& calibration)
{
    const PaperSize paper = paperSize(doc.page()).value_or(PaperSize{2100, 2970});
    const auto pixels = [dpi](int tenthsMm) {
        return static_cast<int>(std::lround(tenthsMm * static_cast<double>(dpi) / 254.0));
    };
    const int width = pixels(paper.widthTenthsMm);
    const int height = pixels(paper.heightTenthsMm);
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPngPixels)
        return "page too large for a picture at " + std::to_string(dpi) + " dpi";
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return "not enough memory for the picture";
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        if (calibration.isIdentity()) {
            PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
            printPage(doc, surface);
        } else {
            PainterSurface surface(painter, PainterSurface::Units::HundredthsMm);
            CalibratedSurface corrected(surface, calibration);
            printPage(doc, corrected);
        }
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        return "cannot write \"" + path + "\"";
    return {};
}

std::string printOn(const Document& doc, const std::string& printerName, int copies,
                    const std::string& jobName, const Calibration& calibration)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.empty()) {
        // An unknown name must not fall back to whatever printer is the default.
        const QString name = QString::fromStdString(printerName);
        if (!QPrinterInfo::availablePrinterNames().contains(name))
            return "no printer named \"" + printerName + "\"";
        printer.setPrinterName(name);
    }
    if (!printer.isValid() || printer.printerName().isEmpty())
        return printerName.empty() ? std::string("no default printer")
                                   : "no printer named \"" + printerName + "\"";
    printer.setCopyCount(copies);
    printer.setDocName(QString::fromStdString(jobName));
    if (!printDocument(doc, printer, nullptr, calibration))
        return "the printer \"" + printer.printerName().toStdString() + "\" did not accept the job";
    return {};
}

} // namespace ordavel::cli
