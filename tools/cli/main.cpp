// ordavel-cli: the headless tool. Renders, prints, dumps and builds templates
// with the same core as the designer, without a display.
#include "command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ordavel::cli {

namespace {
std::vector<Command>& registry()
{
    static std::vector<Command> all;
    return all;
}
} // namespace

const std::vector<Command>& commands() { return registry(); }

CommandRegistration::CommandRegistration(Command command)
{
    auto& all = registry();
    all.push_back(command);
    std::sort(all.begin(), all.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
}

} // namespace ordavel::cli

namespace {
void printUsage(std::FILE* to)
{
    std::fprintf(to, "usage: ordavel-cli COMMAND ...\n");
    for (const auto& command : ordavel::cli::commands())
        std::fprintf(to, "  ordavel-cli %s\n", command.usage);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const auto& command : ordavel::cli::commands()) {
        if (name == command.name)
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "ordavel-cli: unknown command \"%s\"\n", name.c_str());
    printUsage(stderr);
    return 1;
}
