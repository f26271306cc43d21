#pragma once
// Writing the printed page of a document to a PDF or PNG file, or sending it
// to a printer, with the same print code as the designer.

#include "model/document.h"
#include "print/calibration.h"
#include "print/print_job.h"

#include <functional>
#include <string>

class QImage;
class QPrinter;

namespace ordavel::cli {

// Makes the PDF `path` through the file layer's safe replacement (links
// followed, mode kept, read-only files refused before anything is drawn):
// `draw` paints on a PDF printer whose output is a temporary beside the target
// and returns whether it could. The PDF engine reports no write errors, so the
// temporary must end in "%%EOF" before it replaces the target. Returns "" or
// "cannot write \"PATH\": " and the reason.
std::string writePdfFile(const std::string& path, const std::function<bool(QPrinter&)>& draw);

// A white picture of the paper (A4 when the page has no size) at `dpi` dots
// per inch, which it also records; a null image, with the reason in `error`,
// when it would be too large or there is no memory for it.
QImage paperImage(const PageSettings& page, int dpi, std::string& error);
// The picture as a PNG file, replaced safely like the other outputs; "" or
// "cannot write \"PATH\": " and the reason.
std::string writePngFile(const QImage& image, const std::string& path);

// Each returns an empty string on success or the reason it failed (with the
// system's reason, such as "no space left on the disk"). The file is replaced
// safely (writePdfFile, replaceFile), so that no partial output is left behind. The PDF page has the paper size; the PNG is the paper at
// `dpi` dots per inch. A paper size not > 0 keeps the printer's (PDF) or A4 (PNG).
// A calibration other than the identity corrects the drawing (and the PDF's
// paper height) as on a printer.
std::string writePdf(const Document& doc, const std::string& path, const Calibration& calibration = Calibration{});
std::string writePng(const Document& doc, const std::string& path, int dpi,
                     const Calibration& calibration = Calibration{});
// The PDF on standard output; it is made in a temporary folder first, so a
// failed render writes nothing there.
std::string writePdfToStdout(const Document& doc, const Calibration& calibration = Calibration{});

} // namespace ordavel::cli
