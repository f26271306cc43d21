// ordavel-cli: the headless tool. Renders, prints, dumps and builds templates
// with the same core as the designer, without a display.
#include "command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

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
        std::fprintf(to, "  ordavel-cli %s\n", command.usage().c_str());
    std::fprintf(to, "  ordavel-cli COMMAND --help   (that command's options)\n"
                     "  ordavel-cli --version\n");
#ifdef ORDAVEL_LEFT_OUT
    std::fprintf(to, "Not in this build: %s.\n", ORDAVEL_LEFT_OUT);
#endif
}

bool isHelp(const std::string& word) { return word == "-h" || word == "--help"; }
} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // PDFs and workbooks pass through standard output and input: no newline
    // translation (text mode would turn every \n of a PDF into \r\n).
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stdin), _O_BINARY);
#endif
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "--version" || name == "-V") {
        std::printf("ordavel-cli %s\n", ORDAVEL_VERSION);
        return 0;
    }
    // "help CMD" and "CMD --help" print that command's help; plain "help" lists them all.
    const bool helpFirst = isHelp(name) || name == "help";
    const std::string wanted = helpFirst && argc > 2 ? argv[2] : name;
    if (helpFirst && argc <= 2) {
        printUsage(stdout);
        return 0;
    }
    for (const auto& command : ordavel::cli::commands()) {
        if (wanted != command.name)
            continue;
        if (helpFirst)
            return command.run({"--help"});
        return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "ordavel-cli: unknown command \"%s\"\n", wanted.c_str());
    printUsage(stderr);
    return 1;
}
