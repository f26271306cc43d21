// ordavel-cli render FILE.oxf -o OUT.pdf|OUT.png|- [--dpi N] [--offset DX,DY]
// [--scale SX,SY] [--data ...]: the page the print command would put on paper
// (or one page per data record), written to a file ("-" writes the PDF to
// stdout), optionally corrected by a calibration given in mm and percent. On
// a template of several forms to a sheet a PNG is a whole sheet.
// With --check instead of -o, it writes nothing and lists each record and box
// whose text does not fit its box even at its smallest size.
#include "batch.h"
#include "calibration_options.h"
#include "cli_support.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "template_input.h"

#include "data/merge.h"
#include "data/text_fit_check.h"
#include "platform/print_measure.h"

#include <algorithm>
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

struct Settings {
    std::string input;
    std::string output;
    int dpi = 300;
    bool check = false;
    Calibration calibration;
    BatchOptions batch;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("render", "Draws the page the print command would put on paper (or one page per data record)"
                                  " into a PDF or PNG file.");
    parser.positional("FILE.oxf", "the template", &s.input);
    declareOutput(parser, &s.output, "OUT.pdf|OUT.png|-",
                  "the PDF or PNG to write, - for the PDF on standard output; a batch to PNG writes"
                  " OUT-0001.png, OUT-0002.png, ... (one a sheet on a template of several forms to a sheet)",
                  /*required=*/true, /*choice=*/1);
    parser.flag("--check", "write nothing: list each record and box whose text does not fit its box even at its"
                " smallest size (exit 1 when any does not)", &s.check, 1);
    parser.option({.name = "--dpi", .value = "N", .help = "dots per inch of a PNG (default 300)"},
                  [&s](const std::string& value) {
                      s.dpi = parsePositive(value);
                      return s.dpi == 0 || s.dpi > kMaxDpi
                          ? "--dpi takes a whole number from 1 to " + std::to_string(kMaxDpi)
                          : std::string();
                  });
    declareCorrection(parser, &s.calibration);
    declareBatchOptions(parser, &s.batch, /*withJobSize=*/false);
    return parser;
}

// A batch of a template of several forms to a sheet as PNGs: one picture a
// sheet, OUT-0001.png, OUT-0002.png, ..., each form in its cell as on paper.
std::string writeSheetPngs(const Document& doc, const Batch& batch, const std::string& path, int dpi,
                           const Calibration& calibration)
{
    const std::string stem = path.substr(0, path.size() - 4);
    const std::string suffix = path.substr(path.size() - 4);
    SheetPictures sheets(doc, dpi, calibration, std::clamp(batch.startCell, 1, doc.page().sheet.cells()),
                         [&](int sheet) {
                             char digits[16];
                             std::snprintf(digits, sizeof digits, "-%04d", sheet);
                             return stem + digits + suffix;
                         });
    RecordMerge merge(batch.table);
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    std::string error;
    for (const BatchItem& item : batch.items) {
        merge.setRecord(item.row, item.number);
        for (int copy = 0; copy < item.copies && error.empty(); ++copy)
            error = sheets.add(view);
    }
    if (error.empty())
        error = sheets.finish();
    for (const std::string& warning : merge.warnings())
        std::fprintf(stderr, "ordavel-cli: %s\n", warning.c_str());
    if (merge.warningCount() > merge.warnings().size())
        std::fprintf(stderr, "ordavel-cli: ... %zu warnings in all\n", merge.warningCount());
    return error;
}

// Lists on stdout each record and box whose text does not fit; 1 when any does not.
int check(const Settings& s)
{
    const auto app = makeHeadlessApp();
    Document doc;
    if (!loadTemplate(doc, s.input))
        return fail("cannot load \"" + s.input + "\"");
    PrintMeasure measure;
    std::vector<FormatProblem> problems;
    if (s.batch.wanted()) {
        // Values their formats cannot read are not this check's concern.
        BatchOptions options = s.batch;
        options.keepGoing = true;
        std::string error;
        const auto batch = prepareBatch(doc, options, error);
        if (!batch)
            return fail(error);
        std::vector<int> rows;
        for (const BatchItem& item : batch->items)
            if (item.copies > 0)
                rows.push_back(item.row);
        problems = checkTextFit(doc, batch->table, rows, measure.surface(), rows.size() * doc.slotCount() + 1);
    } else {
        problems = checkTemplateTextFit(doc, measure.surface());
    }
    for (const FormatProblem& problem : problems) {
        const std::string line = problem.row < 0
            ? "第 " + std::to_string(problem.slot) + " 个框：" + problem.reason
            : problem.message();
        std::printf("%s\n", line.c_str());
    }
    return problems.empty() ? 0 : 1;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const std::string& input = s.input;
    const std::string& output = s.output;
    const Calibration& calibration = s.calibration;
    const BatchOptions& batchOptions = s.batch;
    std::string batchError;
    if (s.check)
        return check(s);
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
        const std::string error = pdf                        ? writeBatchPdf(doc, *batch, output, calibration)
                                  : doc.page().sheet.active() ? writeSheetPngs(doc, *batch, output, s.dpi, calibration)
                                                              : writeBatchPng(doc, *batch, output, s.dpi, calibration);
        return error.empty() ? 0 : fail(error);
    }
    const std::string error = toStdout ? writePdfToStdout(doc, calibration)
                              : pdf      ? writePdf(doc, output, calibration)
                                         : writePng(doc, output, s.dpi, calibration);
    if (!error.empty())
        return fail(error);
    return 0;
}

const CommandRegistration registration({"render", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
