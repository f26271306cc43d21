// ordavel-cli calibration-page [--paper W,H] (-o OUT.pdf | --printer NAME):
// the page a printer's calibration is measured from, to a PDF or a printer.
#include "command.h"
#include "calibration_options.h"
#include "cli_support.h"
#include "headless_app.h"
#include "page_output.h"
#include "paper_check.h"

#include "platform/calibration_page_print.h"
#include "print/job_paper.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace ordavel::cli {

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli calibration-page: %s\n", message.c_str());
    return 1;
}

bool endsWithPdf(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".pdf";
}

struct Settings {
    std::vector<double> paperCm{21.0, 29.7};
    std::string output;
    std::string printerName;
    bool allowPaperMismatch = false;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("calibration-page",
                        "Makes the page a printer's calibration is measured from, as a PDF or on a printer.");
    declarePaper(parser, &s.paperCm);
    declareOutput(parser, &s.output, "OUT.pdf", "the PDF to write", /*required=*/true, /*choice=*/1);
    declarePrinter(parser, &s.printerName, "the printer to print it on", /*required=*/true, /*choice=*/1);
    declareAllowPaperMismatch(parser, &s.allowPaperMismatch);
    return parser;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const std::vector<double>& paperCm = s.paperCm;
    const std::string& output = s.output;
    const std::string& printerName = s.printerName;
    if (!output.empty() && !endsWithPdf(output))
        return fail("the output name must end in .pdf");

    const auto app = makeHeadlessApp();
    const CalibrationPage page{paperCm[0] * 10.0, paperCm[1] * 10.0, printerName, calibrationPageDate()};
    if (!output.empty()) {
        std::string journalProblem;
        const std::string error = writePdfFile(output, [&](QPrinter& pdf) {
            return printCalibrationPage(pdf, page, "tool", &journalProblem);
        });
        if (!journalProblem.empty())
            std::fprintf(stderr, "ordavel-cli: print journal: %s (the print went ahead)\n", journalProblem.c_str());
        return error.empty() ? 0 : fail(error);
    }
    const QString name = QString::fromStdString(printerName);
    if (!QPrinterInfo::availablePrinterNames().contains(name))
        return fail("no printer named \"" + printerName + "\"");
    // Measured on the wrong sheet, a calibration would be wrong for every form.
    if (const auto refusal = paperRefusal(printerName, jobPaperMm(page.widthMm, page.heightMm), s.allowPaperMismatch))
        return fail(*refusal);
    QPrinter printer(QPrinter::HighResolution);
    printer.setCreator(QStringLiteral("Ordavel"));
    printer.setPrinterName(name);
    printer.setDocName(QStringLiteral("calibration page"));
    std::string journalProblem;
    const bool printed = printCalibrationPage(printer, page, "tool", &journalProblem);
    if (!journalProblem.empty())
        std::fprintf(stderr, "ordavel-cli: print journal: %s (the print went ahead)\n", journalProblem.c_str());
    if (!printed)
        return fail("the printer \"" + printerName + "\" did not accept the job");
    return 0;
}

const CommandRegistration registration({"calibration-page", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
