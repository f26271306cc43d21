// ordavel-cli fields FILE.oxf: the data columns the template uses, as a JSON
// array of names.
#include "command.h"
#include "template_input.h"

#include "data/merge.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace ordavel::cli {

namespace {

int run(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::fprintf(stderr, "ordavel-cli fields: usage: ordavel-cli fields FILE.oxf\n");
        return 1;
    }
    Document doc;
    if (!loadTemplate(doc, args[0])) {
        std::fprintf(stderr, "ordavel-cli fields: cannot load \"%s\"\n", args[0].c_str());
        return 1;
    }
    std::printf("%s\n", nlohmann::json(templateFields(doc)).dump().c_str());
    return 0;
}

const CommandRegistration registration({"fields", "fields FILE.oxf   (the data columns it uses, as JSON)", run});

} // namespace

} // namespace ordavel::cli
