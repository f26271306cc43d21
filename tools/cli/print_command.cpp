// ordavel-cli print FILE.oxf [--printer NAME] [--copies N] [--calibration none] [--allow-paper-mismatch]
// [--data ...]: prints the template (or one page per data record) without a
// dialog, with the same print code as the designer, corrected by the printer's
// stored calibration unless told not to. Each print is written to the user's
// print journal unless it is switched off; a journal that cannot be written
// is reported on stderr and the print goes ahead.
#include "batch.h"
#include "calibration_options.h"
#include "cli_support.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "paper_check.h"
#include "template_input.h"

#include "platform/calibration_store.h"
#include "platform/print_journal.h"

#include <filesystem>

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

struct Settings {
    std::string input;
    std::string printer;
    int copies = 1;
    bool copiesGiven = false;
    bool useCalibration = true;
    bool allowPaperMismatch = false;
    BatchOptions batch;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("print", "Prints the template (or one page per data record) without a dialog, corrected by"
                                 " the printer's stored calibration.");
    parser.positional("FILE.oxf", "the template", &s.input);
    declarePrinter(parser, &s.printer, "the printer (default the system's default printer)");
    parser.option({.name = "--copies", .value = "N", .help = "copies of the page (default 1; a batch takes them from --copies-column)"},
                  [&s](const std::string& value) {
                      s.copies = parsePositive(value);
                      s.copiesGiven = true;
                      return s.copies == 0 || s.copies > kMaxCopies
                          ? "--copies takes a whole number from 1 to " + std::to_string(kMaxCopies)
                          : std::string();
                  });
    parser.option({.name = "--calibration", .value = "none", .help = "print without the printer's stored calibration"},
                  [&s](const std::string& value) {
                      s.useCalibration = false;
                      return value == "none"
                          ? std::string()
                          : std::string("--calibration takes only \"none\" (the stored calibration applies otherwise)");
                  });
    declareAllowPaperMismatch(parser, &s.allowPaperMismatch);
    declareBatchOptions(parser, &s.batch, /*withJobSize=*/true);
    return parser;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const std::string& input = s.input;
    const std::string& printer = s.printer;
    const BatchOptions& batchOptions = s.batch;
    std::string batchError;

    // A batch's copies come from its data; a --copies the batch ignored would
    // print fewer forms than asked for.
    if (s.copiesGiven && batchOptions.wanted())
        return fail("--copies does not go with --data (copies per record come from --copies-column)");

    const auto app = makeHeadlessApp();
    Document doc;
    if (!loadTemplate(doc, input))
        return fail("cannot load \"" + input + "\"");
    Calibration calibration;
    if (s.useCalibration) {
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
    std::string printerError;
    const std::string printerName = printerOrDefault(printer, printerError);
    if (!printerError.empty())
        return fail(printerError);
    if (const auto refusal = paperRefusal(printerName, jobPaper(doc.page(), calibration.pageLengthMm),
                                          s.allowPaperMismatch))
        return fail(*refusal);
    std::error_code ec;
    JournalPrint what;
    what.program = "tool";
    what.templatePath = std::filesystem::absolute(input, ec).lexically_normal().string();
    what.templateBytes = templateBytesOf(doc, input, false);
    what.calibration = calibration.isIdentity() ? std::string() : describeEnglish(calibration);
    what.copies = s.copies;
    std::string journalProblem;
    std::string unreachableShop;
    auto opened = openRunJournal(Journal::defaultPath(), journalProblem, &unreachableShop);
    RunJournal journal(std::move(opened), journalProblem);
    journal.setUnreachableShop(unreachableShop);
    if (batchOptions.wanted()) {
        const auto batch = prepareBatch(doc, batchOptions, batchError);
        if (!batch)
            return fail(batchError);
        what.kind = JournalKind::Batch;
        what.dataSource = batchOptions.data == "-" ? std::string("-")
                                                   : std::filesystem::absolute(batchOptions.data, ec).string();
        journal.begin(what, doc, &batch->table, batch->items, printerName);
        if (!journal.refusal().empty())
            return fail(journal.refusal());
        const std::string error = printBatch(doc, *batch, batchOptions, printerName, input, calibration, journal);
        return error.empty() ? 0 : fail(error);
    }
    journal.begin(what, doc, nullptr, {}, printerName);
    if (!journal.refusal().empty())
        return fail(journal.refusal());
    const std::string error = printPage(doc, printerName, s.copies, input, calibration, journal);
    return error.empty() ? 0 : fail(error);
}

const CommandRegistration registration({"print", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
