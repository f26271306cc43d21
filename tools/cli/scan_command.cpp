// ordavel-cli scan SCAN [--paper W,H] [--json] -o DRAFT.oxf|FILE.json: finds
// the fields of a scanned form and writes a draft template (or the analysis).
#include "calibration_options.h"
#include "cli_support.h"
#include "command.h"

#include "file/file_system.h"
#include "file/template_writer.h"
#include "scan/caption_reader.h"
#include "scan/scan_analysis.h"
#include "scan/scan_file.h"
#include "scan/scan_template.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cmath>
#include <iostream>

namespace ordavel::cli {

namespace {

constexpr std::uintmax_t kMaxScanBytes = std::uintmax_t{512} << 20;

struct Settings {
    std::string input;
    std::string output;
    scan::PaperSize paper;
    bool json = false;
    double screenDpi = 96;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("scan", "Finds the fields of a scanned form and writes a draft template with a box per field"
                                " (or, with --json, the fields found).");
    parser.positional("SCAN", "the scan: JPEG, PNG, BMP or TIFF", &s.input);
    parser.option({.name = "--paper", .value = "W,H",
                   .help = "the paper's width and height in cm (default: from the scan's resolution)"},
                  [&s](const std::string& value) {
                      const auto pair = parseNumbers(value, 2);
                      if (!pair || (*pair)[0] <= 0 || (*pair)[1] <= 0 || (*pair)[0] > 1000 || (*pair)[1] > 1000)
                          return std::string("--paper takes two sizes in cm separated by a comma, e.g. --paper 21,29.7");
                      s.paper = {(*pair)[0], (*pair)[1]};
                      return std::string();
                  });
    parser.flag("--json", "write the fields found as JSON instead of a template", &s.json);
    declareOutput(parser, &s.output, "DRAFT.oxf|FILE.json",
                  "the template to write; with --json the JSON file (standard output when left out)", false);
    declareScreenDpi(parser, &s.screenDpi);
    return parser;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli scan: %s\n", message.c_str());
    return 1;
}

// Keys in the order readers expect them: image, paper, skew, fields.
nlohmann::ordered_json analysisJson(const scan::ScanAnalysis& analysis)
{
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (const scan::ProposedField& f : analysis.fields) {
        nlohmann::ordered_json field;
        field["x"] = f.rect.x;
        field["y"] = f.rect.y;
        field["w"] = f.rect.w;
        field["h"] = f.rect.h;
        field["kind"] = f.kind;
        field["caption"] = f.caption;
        field["column"] = f.column;
        fields.push_back(std::move(field));
    }
    nlohmann::ordered_json out;
    out["image"] = {analysis.width, analysis.height};
    out["paper"] = {analysis.paper.widthCm, analysis.paper.heightCm};
    out["skew"] = std::round(analysis.skewDegrees * 100.0) / 100.0;
    out["fields"] = std::move(fields);
    return out;
}

int runScan(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    if (!s.json && s.output.empty())
        return fail("-o DRAFT.oxf is needed (or --json)");
    FileStatus status;
    const std::optional<std::string> bytes = readRegularFile(s.input, kMaxScanBytes, &status);
    if (!bytes)
        return fail("cannot read " + s.input + ": " + describeFileStatus(status));
    std::string error;
    const std::optional<scan::ScanImage> image = scan::readScanBytes(*bytes, &error);
    if (!image)
        return fail(s.input + ": " + error);
    if (s.paper.widthCm <= 0) {
        if (image->dpiX <= 1 || image->dpiY <= 1)
            return fail(s.input + " states no resolution; give the paper size with --paper W,H (cm)");
        s.paper = {image->picture.width / image->dpiX * 2.54, image->picture.height / image->dpiY * 2.54};
        std::fprintf(stderr, "ordavel-cli scan: paper size from the scan's resolution (%g x %g dpi): %.2f x %.2f cm\n",
                     image->dpiX, image->dpiY, s.paper.widthCm, s.paper.heightCm);
    }
    // The models load while the ruling is found; whether they loaded is known after.
    scan::CaptionReader reader;
    const scan::ScanAnalysis analysis = scan::analyseScan(image->picture, s.paper, reader);
    if (!reader.ok())
        std::fprintf(stderr, "ordavel-cli scan: the Chinese and English OCR models are missing; captions are not read\n");

    if (s.json) {
        const std::string text = analysisJson(analysis).dump(1) + "\n";
        if (s.output.empty() || s.output == "-") {
            std::cout << text;
            return std::cout.good() ? 0 : 1;
        }
        if (const FileStatus written = replaceFile(s.output, text); !written.ok())
            return fail("cannot write " + s.output + ": " + describeFileStatus(written));
        return 0;
    }

    const double dpi = analysis.width / (s.paper.widthCm / 2.54);
    std::string background = scan::backgroundBytes(*bytes, image->picture, dpi);
    if (background.empty())
        return fail("cannot convert " + s.input + " to JPEG for the background picture");
    Document doc(UnitFactors::fromDpi(s.screenDpi));
    scan::setScanPage(doc, s.paper, std::move(background));
    scan::addFieldBoxes(doc, analysis, analysis.fields);
    doc.setFileName(s.output);
    StderrSink sink;
    const TemplateResult result = saveDocumentFile(doc, s.output, sink);
    if (!result.ok())
        return fail("cannot write " + s.output + ": " + describeTemplateResult(result));
    std::fprintf(stderr, "ordavel-cli scan: %zu fields, skew %.2f degrees, written to %s\n", analysis.fields.size(),
                 analysis.skewDegrees, s.output.c_str());
    return 0;
}

const CommandRegistration registration({"scan", [] { return usageOf(declare); }, runScan});

} // namespace

} // namespace ordavel::cli
