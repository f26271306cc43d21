// ordavel-cli calibrate --printer NAME (--measured X1,Y1,X2,Y2 [--paper W,H]
// [--page-length MM] | --page-length MM | --show | --reset): stores, shows or
// removes a printer's calibration in the user's printers.ini.
#include "calibration_options.h"
#include "cli_support.h"
#include "command.h"

#include "platform/calibration_store.h"
#include "print/calibration_page.h"

#include <cstdio>

namespace ordavel::cli {

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli calibrate: %s\n", message.c_str());
    return 1;
}

struct Settings {
    std::string printer;
    std::optional<std::vector<double>> measured;
    std::vector<double> paperCm{21.0, 29.7};
    std::optional<double> pageLength;
    bool show = false;
    bool reset = false;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("calibrate", "Stores, shows or removes a printer's calibration; crosses measured in mm from"
                                     " the paper's left and top edges.");
    declarePrinter(parser, &s.printer, "the printer whose calibration this is", /*required=*/true);
    parser.option({.name = "--measured", .value = "X1,Y1,X2,Y2",
                   .help = "where the top-left and bottom-right crosses of the calibration page landed", .choice = 1},
                  [&s](const std::string& value) {
                      s.measured = parseNumbers(value, 4);
                      return s.measured ? std::string()
                                        : std::string("--measured takes four numbers in mm: X1,Y1,X2,Y2"
                                                      " (top-left cross, bottom-right cross)");
                  });
    declarePaper(parser, &s.paperCm, "--measured");
    parser.flag("--show", "show the stored calibration", &s.show, 1);
    parser.flag("--reset", "remove the stored calibration", &s.reset, 1);
    parser.option({.name = "--page-length", .value = "MM",
                   .help = "the correction of the page length in mm, alone or with --measured"},
                  [&s](const std::string& value) {
                      const auto number = parseNumbers(value, 1);
                      if (!number)
                          return std::string("--page-length takes one number in mm, e.g. 0.2");
                      s.pageLength = (*number)[0];
                      return std::string();
                  });
    return parser;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    if (!s.show && !s.reset && !s.measured && !s.pageLength)
        return fail("give one of --measured, --page-length, --show and --reset");
    if ((s.show || s.reset) && s.pageLength)
        return fail("--page-length goes with --measured or alone");
    const std::string& printer = s.printer;
    const bool show = s.show;
    const bool reset = s.reset;
    const auto& measured = s.measured;
    const auto& paperCm = s.paperCm;
    const auto& pageLength = s.pageLength;

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

const CommandRegistration registration({"calibrate", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
