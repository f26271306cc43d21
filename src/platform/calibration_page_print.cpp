#include "platform/calibration_page_print.h"

#include "platform/painter_surface.h"
#include "platform/print_journal.h"
#include "platform/printer.h"

#include <QDate>
#include <QPainter>
#include <QPrinter>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace ordavel {

namespace {

bool putCalibrationPage(QPrinter& printer, const CalibrationPage& page);

} // namespace

bool printCalibrationPage(QPrinter& printer, const CalibrationPage& page, const std::string& program,
                          std::string* journalProblem)
{
    const bool toFile = printer.outputFormat() != QPrinter::NativeFormat;
    PrintJournalEntry journal;
    if (!program.empty()) {
        JournalPrint what;
        what.program = program;
        what.kind = JournalKind::Calibration;
        what.templatePath = "calibration page";
        char paper[64];
        std::snprintf(paper, sizeof paper, "%.2f x %.2f mm", page.widthMm, page.heightMm);
        what.pageFields = {{"printer", page.printerName}, {"paper", paper}, {"date", page.date}};
        const Document none;
        journal.begin(what, none, nullptr, {}, toFile ? printer.outputFileName().toStdString() : printer.printerName().toStdString());
        printer.setDocName(QString::fromStdString(journal.cupsJobName(0, 0, printer.docName().toStdString())));
    }
    const bool printed = putCalibrationPage(printer, page);
    if (printed)
        journal.handedOver(0, 0, toFile, printer.printerName().toStdString(), printer.docName().toStdString(),
                           std::time(nullptr) - 2);
    else
        journal.failed(0, 0, JournalOutcome::Failed, "the printer could not be opened");
    // The tool waits for the scheduler's word; the designer does not hold its window for it.
    journal.settle(std::chrono::seconds(toFile || program == "designer" ? 0 : 10));
    journal.finish();
    if (journalProblem != nullptr)
        *journalProblem = journal.takeProblem();
    return printed;
}

namespace {

bool putCalibrationPage(QPrinter& printer, const CalibrationPage& page)
{
    setExactPaper(printer, jobPaperMm(page.widthMm, page.heightMm));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    {
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        drawCalibrationPage(page, surface);
    }
    return painter.end();
}

} // namespace

std::string calibrationPageDate()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace ordavel
