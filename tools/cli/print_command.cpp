// ordavel-cli print FILE.oxf [--printer NAME] [--copies N] [--calibration none]
// [--data ...]: prints the template (or one page per data record) without a
// dialog, with the same print code as the designer, corrected by the printer's
// stored calibration unless told not to.
#include "batch.h"
#include "calibration_options.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "template_input.h"

#include "platform/calibration_store.h"

#include <QPrinterInfo>

#include <cstdio>

namespace ordavel::cli {

namespace {

constexpr int kMaxCopies = 999;

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli print: %s\n", message.c_str());
    return 1;
}

int run(const std::vector<std::string>& args)
{
    std::string input;
    std::string printer;
    int copies = 1;
    bool useCalibration = true;
    BatchOptions batchOptions;
    std::string batchError;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (takeBatchOption(args, i, batchOptions, true, batchError)) {
            if (!batchError.empty())
                return fail(batchError);
        } else if (arg == "--printer" && hasValue) {
            printer = args[++i];
        } else if (arg == "--copies" && hasValue) {
            copies = parsePositive(args[++i]);
            if (copies == 0 || copies > kMaxCopies)
                return fail("--copies takes a whole number from 1 to " + std::to_string(kMaxCopies));
        } else if (arg == "--calibration" && hasValue) {
            if (args[++i] != "none")
                return fail("--calibration takes only \"none\" (the stored calibration applies otherwise)");
            useCalibration = false;
        } else if (input.empty() && !arg.empty() && arg[0] != '-') {
            input = arg;
        } else {
            return fail("unexpected argument \"" + arg + "\"");
        }
    }
    if (input.empty())
        return fail("usage: ordavel-cli print FILE.oxf [--printer NAME] [--copies N] [--calibration none]");

    const auto app = makeHeadlessApp();
    Document doc;
    if (!loadTemplate(doc, input))
        return fail("cannot load \"" + input + "\"");
    Calibration calibration;
    if (useCalibration) {
        const std::string name = printer.empty() ? QPrinterInfo::defaultPrinterName().toStdString() : printer;
        const StoredCalibration stored = CalibrationStore().load(name);
        if (!stored.error.empty())
            return fail(stored.error + " (--calibration none prints without it)");
        if (stored.calibration) {
            calibration = *stored.calibration;
            std::printf("calibration of \"%s\": %s\n", name.c_str(), describeEnglish(calibration).c_str());
            std::fflush(stdout);
        }
    }
    if (batchOptions.wanted()) {
        const auto batch = prepareBatch(doc, batchOptions, batchError);
        if (!batch)
            return fail(batchError);
        const std::string error = printBatch(doc, *batch, batchOptions, printer, input, calibration);
        return error.empty() ? 0 : fail(error);
    }
    const std::string error = printOn(doc, printer, copies, input, calibration);
    if (!error.empty())
        return fail(error);
    return 0;
}

const CommandRegistration registration(
    {"print", "print FILE.oxf [--printer NAME] [--copies N] [--calibration none]"
              " [--data FILE|- [--sheet NAME] [--records LIST] [--copies-column COL] [--job-size K]]", run});

} // namespace

} // namespace ordavel::cli
