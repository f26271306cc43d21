// ordavel-cli fields FILE.oxf: the data columns the template uses, as a JSON
// array of names.
#include "command.h"
#include "option_parser.h"
#include "template_input.h"

#include "data/merge.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace ordavel::cli {

namespace {

struct Settings {
    std::string input;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("fields", "Writes the data columns the template uses, as a JSON array of names.");
    parser.positional("FILE.oxf", "the template", &s.input);
    return parser;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    Document doc;
    if (!loadTemplate(doc, s.input)) {
        std::fprintf(stderr, "ordavel-cli fields: cannot load \"%s\"\n", s.input.c_str());
        return 1;
    }
    std::printf("%s\n", nlohmann::json(templateFields(doc)).dump().c_str());
    return 0;
}

const CommandRegistration registration({"fields", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
