#include "cli_support.h"

#include <cstdio>
#include <cstdlib>

namespace ordavel::cli {

MessageAnswer StderrSink::show(const Message& message)
{
    ++count;
    std::fprintf(stderr, "ordavel-cli: %s: %s\n", message.caption.c_str(), message.text.c_str());
    return MessageAnswer::Ok;
}

std::optional<Options> parseOptions(const std::vector<std::string>& args, bool allowOutput)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--screen-dpi") {
            char* end = nullptr;
            const double dpi = hasValue ? std::strtod(args[i + 1].c_str(), &end) : 0.0;
            if (!hasValue || *end != '\0' || !(dpi >= 1.0 && dpi <= 10000.0)) {
                std::fprintf(stderr, "ordavel-cli: --screen-dpi needs a number from 1 to 10000\n");
                return std::nullopt;
            }
            options.screenDpi = dpi;
            ++i;
        } else if (arg == "-o" && allowOutput) {
            if (!hasValue || args[i + 1].empty()) {
                std::fprintf(stderr, "ordavel-cli: -o needs a file name\n");
                return std::nullopt;
            }
            options.output = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "ordavel-cli: unknown option \"%s\"\n", arg.c_str());
            return std::nullopt;
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

} // namespace ordavel::cli
