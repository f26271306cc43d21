// ordavel-cli build FILE.json|- -o OUT.oxf [--screen-dpi N]: a template from
// JSON ("-" reads it from stdin; picture files are then found from the current folder).
#include "cli_support.h"
#include "command.h"
#include "document_json.h"

#include "file/file_system.h"
#include "file/template_writer.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>

namespace ordavel::cli {

namespace {

constexpr std::uintmax_t kMaxJsonBytes = std::uintmax_t{1} << 30;
constexpr const char* kUsage = "build FILE.json|- -o OUT.oxf [--screen-dpi N]";

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

int runBuild(const std::vector<std::string>& args)
{
    const std::optional<Options> options = parseOptions(args, /*allowOutput=*/true);
    if (!options)
        return 1;
    if (options->positional.size() != 1 || options->output.empty()) {
        std::fprintf(stderr, "usage: ordavel-cli %s\n", kUsage);
        return 1;
    }
    const std::string& jsonName = options->positional.front();
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
    Document doc(UnitFactors::fromDpi(options->screenDpi));
    const std::string folder = jsonName == "-" ? std::string() : std::filesystem::path(jsonName).parent_path().string();
    if (const std::string fault = documentFromJson(json, folder, doc); !fault.empty()) {
        std::fprintf(stderr, "ordavel-cli: %s: %s\n", jsonName.c_str(), fault.c_str());
        return 1;
    }
    doc.setFileName(options->output);
    StderrSink sink;
    // The target is replaced atomically: nothing is left behind on failure.
    const TemplateResult result = saveDocumentFile(doc, options->output, sink);
    if (result.ok())
        return 0;
    std::fprintf(stderr, "ordavel-cli: cannot write %s: %s\n", options->output.c_str(),
                 describeTemplateResult(result).c_str());
    return 1;
}

const CommandRegistration registration({"build", kUsage, runBuild});

} // namespace

} // namespace ordavel::cli
