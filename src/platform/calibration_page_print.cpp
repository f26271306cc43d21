#include "platform/calibration_page_print.h"

#include "platform/painter_surface.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"

#include "print/job_paper.h"
#include "print_run/print_run.h"

#include <QDate>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace ordavel {

namespace {

// Draws the page uncorrected in 0.1 mm, on paper of exactly its size.
class CalibrationPageDevice : public PageDevice {
public:
    explicit CalibrationPageDevice(const CalibrationPage& page) : m_page(page) {}
    std::optional<std::size_t> draw(SpoolDocument& document, std::size_t first, std::size_t,
                                    const std::function<bool(std::size_t)>& drawnOne, std::string& error) override
    {
        std::unique_ptr<QPrinter> pdf;
        QPrinter& printer = pagesOf(document, pdf);
        setExactPaper(printer, jobPaperMm(m_page.widthMm, m_page.heightMm));
        QPainter painter;
        if (!painter.begin(&printer)) {
            error = "the printer could not be opened";
            return std::nullopt;
        }
        {
            PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
            drawCalibrationPage(m_page, surface);
        }
        if (!painter.end()) {
            error = "the printer could not be opened";
            return std::nullopt;
        }
        drawnOne(first);
        return first + 1;
    }

private:
    const CalibrationPage& m_page;
};

class OnePage : public RunReporter {
public:
    bool proceed(std::size_t, std::size_t) override { return true; }
};

} // namespace

bool printCalibrationPage(QPrinter& printer, const CalibrationPage& page, const std::string& program,
                          std::string* journalProblem)
{
    const bool toFile = printer.outputFormat() != QPrinter::NativeFormat;
    const std::string destination = destinationOf(printer);
    const std::unique_ptr<Spooler> spooler = spoolerFor(printer);
    std::string problem;
    RunJournal journal(program.empty() ? nullptr : openRunJournal(Journal::defaultPath(), problem), problem);
    if (!program.empty()) {
        JournalPrint what;
        what.program = program;
        what.kind = JournalKind::Calibration;
        what.templatePath = "calibration page";
        char paper[64];
        std::snprintf(paper, sizeof paper, "%.2f x %.2f mm", page.widthMm, page.heightMm);
        what.pageFields = {{"printer", page.printerName}, {"paper", paper}, {"date", page.date}};
        const Document none;
        journal.begin(what, none, nullptr, {}, destination);
    }
    RunPlan plan;
    plan.printer = destination;
    plan.name = printer.docName().toStdString();
    plan.paper = jobPaperMm(page.widthMm, page.heightMm);
    plan.copies = std::max(1, printer.copyCount());
    CalibrationPageDevice device(page);
    OnePage reporter;
    PrintRun run(journal, *spooler);
    const RunResult result = run.print(plan, device, reporter);
    // The tool waits for the scheduler's word; the designer does not hold its window for it.
    run.settle(std::chrono::seconds(toFile || program == "designer" ? 0 : 10));
    run.finish();
    if (journalProblem != nullptr)
        *journalProblem = journal.takeProblem();
    return result.ok();
}

std::string calibrationPageDate()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace ordavel
