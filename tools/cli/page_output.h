#pragma once
// Writing the printed page of a document to a PDF or PNG file, or sending it
// to a printer, with the same print code as the designer.

#include "model/document.h"
#include "print/calibration.h"
#include "print/print_job.h"

#include <functional>
#include <memory>
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

// A white picture of the paper (the sheet's on a template of several forms
// to a sheet; A4 when the page has no size) at `dpi` dots
// per inch, which it also records; a null image, with the reason in `error`,
// when it would be too large or there is no memory for it.
QImage paperImage(const PageSettings& page, int dpi, std::string& error);
// The picture as a PNG file, replaced safely like the other outputs; "" or
// "cannot write \"PATH\": " and the reason.
std::string writePngFile(const QImage& image, const std::string& path);

// Pictures of whole sheets, as the PDF's pages: on a template of several
// forms to a sheet each form goes into its cell (cells counted from
// `startCell` of the first sheet) and each sheet, once the next form starts
// another or at the end, is written as the PNG `nameOf(n)` for sheet n
// (from 1), at `dpi` on the sheet's paper. Without a sheet layout every form
// is a picture of its own paper (A4 when the page has no size).
class SheetPictures {
public:
    SheetPictures(const Document& doc, int dpi, const Calibration& calibration, int startCell,
                  std::function<std::string(int)> nameOf);
    ~SheetPictures();
    SheetPictures(const SheetPictures&) = delete;
    SheetPictures& operator=(const SheetPictures&) = delete;

    // Draws the next form, each box as `view` gives it; "" or why the
    // picture could not be made or a finished sheet not written. After a
    // failure nothing more is drawn and the failure is returned again.
    std::string add(const BoxFilter& view = {});
    // Writes the last sheet; "" or why it failed (or an earlier failure).
    std::string finish();

private:
    std::string writeSheet();

    const Document& m_doc;
    int m_dpi;
    Calibration m_calibration;
    int m_startCell;
    std::function<std::string(int)> m_nameOf;
    std::unique_ptr<QImage> m_image;
    int m_forms = 0;
    int m_sheet = -1; // the sheet being drawn (0-based), -1 before the first form
    std::string m_error;
};

// Each returns an empty string on success or the reason it failed (with the
// system's reason, such as "no space left on the disk"). The file is replaced
// safely (writePdfFile, replaceFile), so that no partial output is left
// behind. The PDF page has the paper size; the PNG is the paper (the whole
// sheet, the form in its first cell, on a template of several forms to a
// sheet) at `dpi` dots per inch. A paper size not > 0 keeps the printer's (PDF) or A4 (PNG).
// A calibration other than the identity corrects the drawing (and the PDF's
// paper height) as on a printer.
std::string writePdf(const Document& doc, const std::string& path, const Calibration& calibration = Calibration{});
std::string writePng(const Document& doc, const std::string& path, int dpi,
                     const Calibration& calibration = Calibration{});
// The PDF on standard output; it is made in a temporary folder first, so a
// failed render writes nothing there.
std::string writePdfToStdout(const Document& doc, const Calibration& calibration = Calibration{});

} // namespace ordavel::cli
