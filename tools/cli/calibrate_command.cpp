// ordavel-cli calibrate --printer NAME (--measured X1,Y1,X2,Y2 [--paper W,H]
// [--page-length MM] | --page-length MM | --show | --reset): stores, shows or
// removes a printer's calibration in the user's printers.ini.
#include "calibration_options.h"
#include "command.h"

#include "platform/calibration_store.h"
#include "print/calibration_page.h"

#include <cstdio>

namespace ordavel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ordavel-cli calibrate --printer NAME (--measured X1,Y1,X2,Y2 [--paper W,H] [--page-length MM]"
    " | --page-length MM | --show | --reset)";

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli calibrate: %s\n", message.c_str());
    return 1;
}

int run(const std::vector<std::string>& args)
{
    std::string printer;
    std::optional<std::vector<double>> measured;
    std::vector<double> paperCm{21.0, 29.7};
    std::optional<double> pageLength;
    bool show = false;
    bool reset = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--printer" && hasValue) {
            printer = args[++i];
        } else if (arg == "--measured" && hasValue) {
            measured = parseNumbers(args[++i], 4);
            if (!measured)
                return fail("--measured takes four numbers in mm: X1,Y1,X2,Y2 (top-left cross, bottom-right cross)");
        } else if (arg == "--paper" && hasValue) {
            const auto paper = parseNumbers(args[++i], 2);
            if (!paper || (*paper)[0] * 10.0 < kMinCalibrationPaperMm || (*paper)[1] * 10.0 < kMinCalibrationPaperMm)
                return fail("--paper takes the width and height in cm, each at least 5, e.g. 21,29.7");
            paperCm = *paper;
        } else if (arg == "--page-length" && hasValue) {
            const auto value = parseNumbers(args[++i], 1);
            if (!value)
                return fail("--page-length takes one number in mm, e.g. 0.2");
            pageLength = (*value)[0];
        } else if (arg == "--show") {
            show = true;
        } else if (arg == "--reset") {
            reset = true;
        } else {
            return fail("unexpected argument \"" + arg + "\"");
        }
    }
    const int actions = (show ? 1 : 0) + (reset ? 1 : 0) + (measured || pageLength ? 1 : 0);
    if (printer.empty() || actions != 1)
        return fail(kUsage);

    CalibrationStore store;
    if (reset) {
        const std::string error = store.remove(printer);
        return error.empty() ? 0 : fail(error);
    }
    const StoredCalibration stored = store.load(printer);
    if (show) {
        if (!stored.error.empty())
            return fail(stored.error);
        if (stored.calibration)
            std::printf("%s: %s\n", printer.c_str(), describeEnglish(*stored.calibration).c_str());
        else
            std::printf("%s: no calibration\n", printer.c_str());
        return 0;
    }

    // New offset and scale from the crosses, or the stored ones when only the
    // page length changes.
    Calibration calibration = stored.calibration.value_or(Calibration{});
    if (measured) {
        const auto& m = *measured;
        const CalibrationSolution solution
            = solveCalibration({{m[0], m[1]}, {m[2], m[3]}}, paperCm[0] * 10.0, paperCm[1] * 10.0);
        if (!solution.calibration)
            return fail(calibrationFaultTextEnglish(*solution.fault));
        const double keptLength = calibration.pageLengthMm;
        calibration = *solution.calibration;
        calibration.pageLengthMm = keptLength;
    }
    if (pageLength)
        calibration.pageLengthMm = *pageLength;
    const std::string error = store.save(printer, calibration);
    if (!error.empty())
        return fail(error);
    std::printf("%s: %s\n", printer.c_str(), describeEnglish(calibration).c_str());
    return 0;
}

const CommandRegistration registration(
    {"calibrate",
     "calibrate --printer NAME (--measured X1,Y1,X2,Y2 [--paper W,H] [--page-length MM] | --page-length MM"
     " | --show | --reset)   (mm from the paper's left and top edges; paper in cm, default 21,29.7)",
     run});

} // namespace

} // namespace ordavel::cli
