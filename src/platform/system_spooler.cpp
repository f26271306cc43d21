#include "platform/system_spooler.h"

#include "print_run/file_spooler.h"

#include <QPrinter>

namespace ordavel {

std::unique_ptr<Spooler> spoolerFor(const QPrinter& printer)
{
    if (printer.outputFormat() != QPrinter::NativeFormat)
        return std::make_unique<FileSpooler>(printer.outputFileName().toStdString());
    return systemSpooler();
}

std::string destinationOf(const QPrinter& printer)
{
    return printer.outputFormat() != QPrinter::NativeFormat ? printer.outputFileName().toStdString()
                                                            : printer.printerName().toStdString();
}

QPrinter& pdfPagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf)
{
    pdf = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pdf->setOutputFormat(QPrinter::PdfFormat);
    pdf->setOutputFileName(QString::fromStdString(document.pdfPath));
    pdf->setDocName(QString::fromStdString(document.request.title));
    return *pdf;
}

} // namespace ordavel
