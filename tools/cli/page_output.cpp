#include "page_output.h"

#include "platform/cups_jobs.h"

#include "file/file_system.h"

#include "platform/printer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <cstdio>

namespace ordavel::cli {

namespace {

// The largest PNG page we are willing to allocate (about 1 GB of pixels).
constexpr long long kMaxPngPixels = 256LL * 1024 * 1024;

// Whether the file ends in "%%EOF" (and line breaks), as a finished PDF does;
// only its tail is read.
bool endsWithEof(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
    const std::streamoff tail = std::min<std::streamoff>(size, 64);
    std::string bytes(static_cast<std::size_t>(tail), '\0');
    if (tail == 0 || !file.seekg(size - tail) || !file.read(bytes.data(), tail))
        return false;
    const std::size_t end = bytes.find_last_not_of("\r\n");
    return end != std::string::npos && end >= 4 && bytes.compare(end - 4, 5, "%%EOF") == 0;
}

} // namespace

std::string writePdfFile(const std::string& path, const std::function<bool(QPrinter&)>& draw)
{
    FileReplacement out(path);
    if (!out.status().ok())
        return "cannot write \"" + path + "\": " + describeFileStatus(out.status());
    bool drawn = false;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(out.temporaryPath()));
        printer.setCreator(QStringLiteral("Ordavel"));
        drawn = draw(printer);
    }
    if (!drawn || !endsWithEof(out.temporaryPath())) {
        out.abandon();
        return "cannot write \"" + path + "\": "
            + (drawn ? "the PDF came out incomplete (is the disk full?)" : "the PDF could not be made");
    }
    if (const FileStatus done = out.commit(); !done.ok())
        return "cannot write \"" + path + "\": " + describeFileStatus(done);
    return {};
}

std::string writePdf(const Document& doc, const std::string& path, const Calibration& calibration)
{
    return writePdfFile(path, [&](QPrinter& printer) { return printDocument(doc, printer, nullptr, calibration); });
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

QImage paperImage(const PageSettings& page, int dpi, std::string& error)
{
    const JobPaper paper = jobPaper(page).value_or(JobPaper{21000, 29700});
    const auto pixels = [dpi](int hundredthsMm) {
        return static_cast<int>(std::lround(hundredthsMm * static_cast<double>(dpi) / 2540.0));
    };
    const int width = pixels(paper.widthHundredthsMm);
    const int height = pixels(paper.heightHundredthsMm);
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPngPixels) {
        error = "page too large for a picture at " + std::to_string(dpi) + " dpi";
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        error = "not enough memory for the picture";
        return {};
    }
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

std::string writePngFile(const QImage& image, const std::string& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return "cannot encode the picture";
    const FileStatus status = replaceFile(path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    return status.ok() ? std::string() : "cannot write \"" + path + "\": " + describeFileStatus(status);
}

SheetPictures::SheetPictures(const Document& doc, int dpi, const Calibration& calibration, int startCell,
                             std::function<std::string(int)> nameOf)
    : m_doc(doc), m_dpi(dpi), m_calibration(calibration), m_startCell(startCell), m_nameOf(std::move(nameOf))
{
}

SheetPictures::~SheetPictures() = default;

std::string SheetPictures::writeSheet()
{
    if (m_image && m_error.empty())
        m_error = writePngFile(*m_image, m_nameOf(m_sheet + 1));
    return m_error;
}

std::string SheetPictures::add(const BoxFilter& view)
{
    if (!m_error.empty())
        return m_error;
    const SheetLayout& layout = m_doc.page().sheet;
    const SheetSlot slot = sheetSlot(layout, m_forms++, m_startCell);
    if (slot.sheet != m_sheet) {
        if (!writeSheet().empty())
            return m_error;
        if (!m_image) {
            QImage image = paperImage(m_doc.page(), m_dpi, m_error);
            if (image.isNull())
                return m_error;
            m_image = std::make_unique<QImage>(std::move(image));
        }
        m_image->fill(Qt::white);
        m_sheet = slot.sheet;
    }
    QPainter painter(m_image.get());
    if (layout.active())
        moveToCell(painter, slot, m_calibration);
    printPageOn(painter, m_doc, m_calibration, {}, view);
    return {};
}

std::string SheetPictures::finish()
{
    writeSheet();
    m_image.reset();
    return m_error;
}

std::string writePng(const Document& doc, const std::string& path, int dpi, const Calibration& calibration)
{
    SheetPictures picture(doc, dpi, calibration, 1, [&path](int) { return path; });
    if (std::string error = picture.add(); !error.empty())
        return error;
    return picture.finish();
}

} // namespace ordavel::cli
