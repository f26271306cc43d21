// ordavel-cli dump FILE.oxf [--screen-dpi N] [--embed | --pictures DIR]: the
// loaded document as JSON on stdout, with its pictures described, embedded in
// Base64 or written as files, so that `build` can make the template again.
#include "cli_support.h"
#include "command.h"
#include "document_json.h"

#include "template_input.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace ordavel::cli {

namespace {

constexpr const char* kUsage = "dump FILE.oxf [--screen-dpi N] [--embed | --pictures DIR]";

// Takes the picture options out of args; false (after a message) when they are wrong.
bool takePictureOptions(std::vector<std::string>& args, PictureExport& pictures)
{
    std::vector<std::string> rest;
    int given = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--embed") {
            pictures.mode = PictureExport::Mode::Embed;
            ++given;
        } else if (args[i] == "--pictures") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                std::fprintf(stderr, "ordavel-cli: --pictures needs a folder\n");
                return false;
            }
            pictures.mode = PictureExport::Mode::Files;
            pictures.folder = args[++i];
            ++given;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (given > 1) {
        std::fprintf(stderr, "ordavel-cli: give one of --embed and --pictures\n");
        return false;
    }
    args = std::move(rest);
    return true;
}

int runDump(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    PictureExport pictures;
    if (!takePictureOptions(args, pictures))
        return 1;
    const std::optional<Options> options = parseOptions(args, /*allowOutput=*/false);
    if (!options)
        return 1;
    if (options->positional.size() != 1) {
        std::fprintf(stderr, "usage: ordavel-cli %s\n", kUsage);
        return 1;
    }
    const std::string& fileName = options->positional.front();
    Document doc(UnitFactors::fromDpi(options->screenDpi));
    if (!loadTemplate(doc, fileName))
        return 1;
    try {
        std::cout << documentToJson(doc, pictures).dump(2) << '\n';
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "ordavel-cli: %s\n", e.what());
        return 1;
    }
    return std::cout.flush().good() ? 0 : 1;
}

const CommandRegistration registration({"dump", kUsage, runDump});

} // namespace

} // namespace ordavel::cli
