// ordavel-cli calibration-page [--paper W,H] (-o OUT.pdf | --printer NAME):
// the page a printer's calibration is measured from, to a PDF or a printer.
#include "command.h"
#include "calibration_options.h"
#include "headless_app.h"

#include "platform/calibration_page_print.h"

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

int run(const std::vector<std::string>& args)
{
    std::vector<double> paperCm{21.0, 29.7};
    std::string output;
    std::string printerName;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--paper" && hasValue) {
            const auto paper = parseNumbers(args[++i], 2);
            if (!paper || (*paper)[0] * 10.0 < kMinCalibrationPaperMm || (*paper)[1] * 10.0 < kMinCalibrationPaperMm
                || (*paper)[0] > 500.0 || (*paper)[1] > 500.0)
                return fail("--paper takes the width and height in cm, each from 5 to 500, e.g. 21,29.7");
            paperCm = *paper;
        } else if (arg == "-o" && hasValue) {
            output = args[++i];
        } else if (arg == "--printer" && hasValue) {
            printerName = args[++i];
        } else {
            return fail("unexpected argument \"" + arg + "\"");
        }
    }
    if (output.empty() == printerName.empty())
        return fail("usage: ordavel-cli calibration-page [--paper W,H] (-o OUT.pdf | --printer NAME)");
    if (!output.empty() && !endsWithPdf(output))
        return fail("the output name must end in .pdf");

    const auto app = makeHeadlessApp();
    const CalibrationPage page{paperCm[0] * 10.0, paperCm[1] * 10.0, printerName, calibrationPageDate()};
    QPrinter printer(QPrinter::HighResolution);
    printer.setCreator(QStringLiteral("Ordavel"));
    if (!output.empty()) {
        const std::string part = output + ".part";
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(part));
        if (!printCalibrationPage(printer, page) || std::rename(part.c_str(), output.c_str()) != 0) {
            std::remove(part.c_str());
            return fail("cannot write \"" + output + "\"");
        }
        return 0;
    }
    const QString name = QString::fromStdString(printerName);
    if (!QPrinterInfo::availablePrinterNames().contains(name))
        return fail("no printer named \"" + printerName + "\"");
    printer.setPrinterName(name);
    printer.setDocName(QStringLiteral("calibration page"));
    if (!printCalibrationPage(printer, page))
        return fail("the printer \"" + printerName + "\" did not accept the job");
    return 0;
}

const CommandRegistration registration(
    {"calibration-page", "calibration-page [--paper W,H] (-o OUT.pdf | --printer NAME)   (paper in cm, default 21,29.7)",
     run});

} // namespace

} // namespace ordavel::cli
