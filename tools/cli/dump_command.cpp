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

struct Settings {
    std::string input;
    double screenDpi = 96;
    PictureExport pictures;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("dump", "Writes the loaded template as JSON on standard output.");
    parser.positional("FILE.oxf", "the template", &s.input);
    declareScreenDpi(parser, &s.screenDpi);
    parser.option({.name = "--embed", .help = "put the pictures' bytes into the JSON in Base64", .choice = 1},
                  [&s](const std::string&) {
                      s.pictures.mode = PictureExport::Mode::Embed;
                      return std::string();
                  });
    parser.option({.name = "--pictures", .value = "DIR",
                   .help = "write the pictures as files into DIR and refer to them", .choice = 1},
                  [&s](const std::string& folder) {
                      s.pictures.mode = PictureExport::Mode::Files;
                      s.pictures.folder = folder;
                      return std::string();
                  });
    return parser;
}

int runDump(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const PictureExport& pictures = s.pictures;
    Document doc(UnitFactors::fromDpi(s.screenDpi));
    if (!loadTemplate(doc, s.input))
        return 1;
    try {
        std::cout << documentToJson(doc, pictures).dump(2) << '\n';
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "ordavel-cli: %s\n", e.what());
        return 1;
    }
    return std::cout.flush().good() ? 0 : 1;
}

const CommandRegistration registration({"dump", [] { return usageOf(declare); }, runDump});

} // namespace

} // namespace ordavel::cli
