// ordavel-cli dump FILE.oxf [--screen-dpi N]: the loaded document as JSON on stdout.
#include "cli_support.h"
#include "command.h"
#include "document_json.h"

#include "template_input.h"

#include <cstdio>
#include <iostream>

namespace ordavel::cli {

namespace {

int runDump(const std::vector<std::string>& args)
{
    const std::optional<Options> options = parseOptions(args, /*allowOutput=*/false);
    if (!options)
        return 1;
    if (options->positional.size() != 1) {
        std::fprintf(stderr, "usage: ordavel-cli dump FILE.oxf [--screen-dpi N]\n");
        return 1;
    }
    const std::string& fileName = options->positional.front();
    Document doc(UnitFactors::fromDpi(options->screenDpi));
    if (!loadTemplate(doc, fileName))
        return 1;
    std::cout << documentToJson(doc).dump(2) << '\n';
    return std::cout.good() ? 0 : 1;
}

const CommandRegistration registration({"dump", "dump FILE.oxf [--screen-dpi N]", runDump});

} // namespace

} // namespace ordavel::cli
