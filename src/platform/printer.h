#pragma once
// Printing a document on a QPrinter: paper set-up and the print job.

#include "model/document.h"
#include "model/message.h"
#include "print/calibration.h"
#include "print/job_paper.h"
#include "print/print_job.h"
#include "print/sheet_layout.h"

#include <QPageLayout>

#include <QSizeF>

#include <ctime>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QProgressDialog;
class QWidget;

namespace ordavel {

// A page of exactly the job's paper, as wide and as tall as the paper (a
// landscape form stays wider than tall; the layout is never rotated), all
// four margins 0, full page, so that positions are measured from the sheet's
// edge. Printers and PDF writers alike take their page from here; its size's
// key is the paper's CUPS media ("Custom.230x127mm").
QPageLayout jobPageLayout(const JobPaper& paper);

// The job's paper on a printer (jobPageLayout; without a paper the printer
// keeps its own, with zero margins and full page) and, for a CUPS queue, the
// paper's options beside the media Qt sends: no scaling, whatever else the
// print dialog chose. Every job, the template's and the calibration page,
// sets its paper through here.
void setExactPaper(QPrinter& printer, const std::optional<JobPaper>& paper);

// setExactPaper with the template's paper (jobPaper: the page size as typed,
// to 0.01 mm, longer by pageLengthMm, a calibration's page-length correction).
void configurePrinter(QPrinter& printer, const PageSettings& page, double pageLengthMm = 0.0);

// Re-applies configurePrinter, then draws the page (printPage) through a
// PainterSurface in 0.1 mm. With a progressParent, a progress window with a
// Cancel button shows while it runs. Returns false when the job did not start
// (the printer could not be opened) or was cancelled (abandonJob).
// With a sink, output that cannot be opened is reported there with the
// caption "打印文件" and a stop icon: "创建文件失败，请重试。\r\n（" + file + "）"
// when printing to a file, "打开打印机失败，请重试。\r\n（" + printer name + "）"
// for a printer (without the name when the printer has none).
// A calibration other than the identity corrects everything drawn and the
// paper's height (CalibratedSurface); the identity leaves the job untouched.
// A view draws each box as it gives it (the journal's counter values).
// beforeHandOver, when set, runs once the page is drawn and before it goes
// to the printer or file (or is abandoned): the journal's wait for its commit.
bool printDocument(const Document& doc, QPrinter& printer, QWidget* progressParent,
                   const Calibration& calibration = Calibration{}, MessageSink* sink = nullptr,
                   const BoxFilter& view = {}, const std::function<void()>& beforeHandOver = {});

// The window-modal progress window `进度框_打印` ("正在打印...", Cancel "取消",
// caption "打印文件") over `parent`, counting 0..steps; none without a parent.
std::unique_ptr<QProgressDialog> makePrintProgress(QWidget* parent, int steps);

// printPage onto a painter whose device is a printer, a PDF or a picture
// of the paper: in 0.1 mm, or in 0.01 mm through a CalibratedSurface when the
// calibration is not the identity. Returns what printPage returned.
bool printPageOn(QPainter& painter, const Document& doc, const Calibration& calibration,
                 const PrintProgress& progress = {}, const BoxFilter& view = {});

// The painter moved to the form's corner on its sheet. The calibration
// corrects positions on the sheet: the corner is scaled with it, and its
// offset is applied once, by the drawing.
void moveToCell(QPainter& painter, const SheetSlot& slot, const Calibration& calibration);

// Form number `form` (0-based) of a job: on a template of several forms to
// a sheet, on a new page when it starts a sheet (the first form's page is
// the job's first) and moved to its cell (cells counted from `startCell` of
// the first sheet); otherwise on a page of its own. Drawn by printPageOn.
bool printFormOn(QPainter& painter, QPagedPaintDevice& device, const Document& doc, const Calibration& calibration,
                 const BoxFilter& view, int form, int startCell = 1);

// The message for output that cannot be opened (caption "打印文件", a stop
// icon): "创建文件失败，请重试。" for a file, "打开打印机失败，请重试。" for a
// printer, each with the file's or printer's name on a second line when known.
Message printOutputFailed(const QPrinter& printer);

// The job options a print dialog set on a printer (an input tray, two-sided
// printing), by name, for the queue; none on a file or where the platform
// keeps none. Copies and the paper are the job's own, not among them.
std::vector<std::pair<std::string, std::string>> dialogOptionsOf(QPrinter& printer);

// Ends a job the user cancelled while it was being drawn (painter active on
// printer since `began`). Qt sends what was drawn to a printer all the same,
// so the job is then cancelled in the print queue. True when nothing of it
// will print: a file, or a job the queue took back; false when it was too late.
bool abandonJob(QPainter& painter, QPrinter& printer, std::time_t began);

} // namespace ordavel
