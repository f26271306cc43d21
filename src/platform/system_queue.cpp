// The system's print queue on Linux: the CUPS scheduler, taking each job's
// pages as a PDF.
#include "platform/system_spooler.h"

#include "cups/cups_spooler.h"

namespace ordavel {

std::unique_ptr<Spooler> systemSpooler() { return std::make_unique<CupsSpooler>(); }

QPrinter& pagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf) { return pdfPagesOf(document, pdf); }

void noteOpenJob(SpoolDocument&) {}

} // namespace ordavel
