#include "page_output.h"

#include "platform/cups_jobs.h"

#include "file/file_system.h"
#include "file/picture.h"

#include "platform/printer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace ordavel::cli {

namespace {

// The largest PNG page we are willing to allocate (about 1 GB of pixels).
constexpr long long kMaxPngPixels = 256LL * 1024 * 1024;
constexpr std::uintmax_t kMaxPdfBytes = std::uintmax_t{1} << 30;

// Replaces `path` with `bytes`; "" or why it could not.
std::string writeOutput(const std::string& path, std::string_view bytes)
{
    const FileStatus status = replaceFile(path, bytes);
    if (status.ok())
        return {};
    return "cannot write \"" + path + "\": " + describeFileStatus(status);
}

} // namespace

std::string writePdf(const Document& doc, const std::string& path, const Calibration& calibration)
{
    // The PDF engine reports no write errors, so the page is made in a
    // temporary file first and must come out complete ("%%EOF" at its end)
    // before it goes to `path` through the safe replacement.
    const std::string part = createBackgroundTempFile();
    if (part.empty())
        return "cannot make a temporary file for the PDF";
    bool ok = false;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(part));
        printer.setCreator(QStringLiteral("Ordavel"));
        ok = printDocument(doc, printer, nullptr, calibration);
    }
    FileStatus status;
    const std::optional<std::string> bytes = readRegularFile(part, kMaxPdfBytes, &status);
    removeFileQuietly(part);
    const auto complete = [](const std::string& pdf) {
        const std::size_t end = pdf.find_last_not_of("\r\n");
        return end != std::string::npos && end >= 4 && pdf.compare(end - 4, 5, "%%EOF") == 0;
    };
    if (!ok || !bytes || !complete(*bytes))
        return "cannot make the PDF in the temporary folder" +
               (status.ok() ? std::string() : ": " + describeFileStatus(status));
    return writeOutput(path, *bytes);
}

std::string writePdfToStdout(const Document& doc, const Calibration& calibration)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        return "cannot make a temporary folder for the PDF";
    const std::string path = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    if (const std::string error = writePdf(doc, path, calibration); !error.empty())
        return error;
    std::FILE* pdf = std::fopen(path.c_str(), "rb");
    if (pdf == nullptr)
        return "cannot read back the PDF";
    char buffer[65536];
    bool ok = true;
    for (std::size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, pdf)) > 0;)
        ok = std::fwrite(buffer, 1, n, stdout) == n;
    ok = ok && !std::ferror(pdf);
    std::fclose(pdf);
    if (std::fflush(stdout) != 0 || !ok)
        return "cannot write the PDF to standard output";
    return {};
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
        printPageOn(painter, doc, calibration);
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return "cannot encode the picture";
    return writeOutput(path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
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
    const std::string refused = "the printer \"" + printer.printerName().toStdString() + "\" did not accept the job";
    if (!printDocument(doc, printer, nullptr, calibration))
        return refused;
    if (const std::string reason = cupsJobRefusal(); !reason.empty())
        return refused + " (" + reason + ")";
    return {};
}

} // namespace ordavel::cli
