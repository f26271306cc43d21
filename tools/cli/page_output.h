#pragma once
// Writing the printed page of a document to a PDF or PNG file, or sending it
// to a printer, with the same print code as the designer.

#include "model/document.h"

#include <string>

namespace ordavel::cli {

// Each returns an empty string on success or the reason it failed (with the
// system's reason, such as "no space left on the disk"). The file is replaced
// safely (replaceFile), so that no partial output is left behind. The PDF page has the paper size; the PNG is the paper at
// `dpi` dots per inch. A paper size not > 0 keeps the printer's (PDF) or A4 (PNG).
std::string writePdf(const Document& doc, const std::string& path);
std::string writePng(const Document& doc, const std::string& path, int dpi);
// The PDF on standard output; it is made in a temporary folder first, so a
// failed render writes nothing there.
std::string writePdfToStdout(const Document& doc);

// Prints on `printerName` (the default printer when empty) without a dialog,
// as a job titled `jobName`.
std::string printOn(const Document& doc, const std::string& printerName, int copies,
                    const std::string& jobName);

} // namespace ordavel::cli
