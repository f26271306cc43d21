// ordavel-cli build FILE.json|- -o OUT.oxf [--screen-dpi N]: a template from
// JSON ("-" reads it from stdin; picture files are then found from the current folder).
#include "cli_support.h"
#include "command.h"
#include "document_json.h"

#include "file/file_system.h"
#include "file/path_name.h"
#include "file/template_writer.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>

namespace ordavel::cli {

namespace {

constexpr std::uintmax_t kMaxJsonBytes = std::uintmax_t{1} << 30;

std::optional<std::string> readJson(const std::string& name, FileStatus* status)
{
    if (name != "-")
        return readRegularFile(name, kMaxJsonBytes, status);
    std::string text;
    char buffer[65536];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
        if (text.size() > kMaxJsonBytes)
            return std::nullopt;
    }
    if (std::cin.bad())
        return std::nullopt;
    return text;
}

struct Settings {
    std::string input;
    std::string output;
    double screenDpi = 96;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("build", "Makes a template from the JSON that dump writes.");
    parser.positional("FILE.json|-", "the JSON (- reads standard input); picture files are found from its folder",
                      &s.input);
    declareOutput(parser, &s.output, "OUT.oxf", "the template to write");
    declareScreenDpi(parser, &s.screenDpi);
    return parser;
}

int runBuild(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const std::string& jsonName = s.input;
    FileStatus status;
    const std::optional<std::string> text = readJson(jsonName, &status);
    if (!text) {
        std::fprintf(stderr, "ordavel-cli: cannot read %s: %s\n", jsonName.c_str(), describeFileStatus(status).c_str());
        return 1;
    }
    const nlohmann::json json = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded()) {
        std::fprintf(stderr, "ordavel-cli: %s is not valid JSON\n", jsonName.c_str());
        return 1;
    }
    Document doc(UnitFactors::fromDpi(s.screenDpi));
    const std::string folder = jsonName == "-" ? std::string() : pathOfName(jsonName).parent_path().string();
    if (const std::string fault = documentFromJson(json, folder, doc); !fault.empty()) {
        std::fprintf(stderr, "ordavel-cli: %s: %s\n", jsonName.c_str(), fault.c_str());
        return 1;
    }
    doc.setFileName(s.output);
    StderrSink sink;
    // The target is replaced atomically: nothing is left behind on failure.
    const TemplateResult result = saveDocumentFile(doc, s.output, sink);
    if (result.ok())
        return 0;
    std::fprintf(stderr, "ordavel-cli: cannot write %s: %s\n", s.output.c_str(),
                 describeTemplateResult(result).c_str());
    return 1;
}

const CommandRegistration registration({"build", [] { return usageOf(declare); }, runBuild});

} // namespace

} // namespace ordavel::cli
