// ordavel-cli render FILE.oxf -o OUT.pdf|OUT.png|- [--dpi N] [--offset DX,DY]
// [--scale SX,SY] [--data ...]: the page the print command would put on paper
// (or one page per data record), written to a file ("-" writes the PDF to
// stdout), optionally corrected by a calibration given in mm and percent.
#include "batch.h"
#include "calibration_options.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "template_input.h"

#include <cstdio>

namespace ordavel::cli {

namespace {

constexpr int kMaxDpi = 2400;

bool endsWith(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i])
            return false;
    }
    return true;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli render: %s\n", message.c_str());
    return 1;
}

int run(const std::vector<std::string>& args)
{
    std::string input;
    std::string output;
    int dpi = 300;
    Calibration calibration;
    BatchOptions batchOptions;
    std::string batchError;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (takeBatchOption(args, i, batchOptions, false, batchError)) {
            if (!batchError.empty())
                return fail(batchError);
        } else if (arg == "-o" && hasValue) {
            output = args[++i];
        } else if (arg == "--dpi" && hasValue) {
            dpi = parsePositive(args[++i]);
            if (dpi == 0 || dpi > kMaxDpi)
                return fail("--dpi takes a whole number from 1 to " + std::to_string(kMaxDpi));
        } else if ((arg == "--offset" || arg == "--scale") && hasValue) {
            const auto pair = parseNumbers(args[++i], 2);
            if (!pair)
                return fail(arg + " takes two numbers separated by a comma, e.g. " + arg
                            + (arg == "--offset" ? " 1.5,-0.8" : " 100.2,99.8"));
            if (arg == "--offset") {
                calibration.offsetXMm = (*pair)[0];
                calibration.offsetYMm = (*pair)[1];
            } else {
                calibration.scaleXPercent = (*pair)[0];
                calibration.scaleYPercent = (*pair)[1];
            }
        } else if (input.empty() && !arg.empty() && arg[0] != '-') {
            input = arg;
        } else {
            return fail("unexpected argument \"" + arg + "\"");
        }
    }
    if (input.empty() || output.empty())
        return fail("usage: ordavel-cli render FILE.oxf -o OUT.pdf|OUT.png|- [--dpi N] [--offset DX,DY] [--scale SX,SY]"
                    " [--data FILE|- [--sheet NAME] [--records LIST] [--copies-column COL]]");
    if (const auto fault = checkCalibration(calibration))
        return fail(calibrationFaultTextEnglish(*fault));
    const bool toStdout = output == "-"; // PDF on standard output
    if (toStdout && batchOptions.wanted())
        return fail("a batch is written to a file: -o OUT.pdf or OUT.png");
    const bool pdf = toStdout || endsWith(output, ".pdf");
    if (!pdf && !endsWith(output, ".png"))
        return fail("the output name must end in .pdf or .png");

    const auto app = makeHeadlessApp();
    Document doc;
    if (!loadTemplate(doc, input))
        return fail("cannot load \"" + input + "\"");
    if (batchOptions.wanted()) {
        const auto batch = prepareBatch(doc, batchOptions, batchError);
        if (!batch)
            return fail(batchError);
        const std::string error = pdf ? writeBatchPdf(doc, *batch, output, calibration)
                                      : writeBatchPng(doc, *batch, output, dpi, calibration);
        return error.empty() ? 0 : fail(error);
    }
    const std::string error = toStdout ? writePdfToStdout(doc, calibration)
                              : pdf      ? writePdf(doc, output, calibration)
                                         : writePng(doc, output, dpi, calibration);
    if (!error.empty())
        return fail(error);
    return 0;
}

const CommandRegistration registration(
    {"render", "render FILE.oxf -o OUT.pdf|OUT.png|- [--dpi N] [--offset DX,DY] [--scale SX,SY]"
               " [--data FILE|- [--sheet NAME] [--records LIST] [--copies-column COL]]"
               "   (PNG default 300 dpi; - is PDF on stdout; offset in mm, scale in %;"
               " with --data one page per record: OUT-0001.png, ...)", run});

} // namespace

} // namespace ordavel::cli
