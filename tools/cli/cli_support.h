#pragma once
// Pieces shared by the dump and build commands: option parsing and a message
// sink that prints to stderr.

#include "model/message.h"
#include "model/units.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel::cli {

// Prints every message as "ordavel-cli: <caption>: <text>" on stderr.
class StderrSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override;
    int count = 0;
};

struct Options {
    std::vector<std::string> positional;
    std::string output;   // -o FILE
    double screenDpi = 96; // --screen-dpi N
};

// Parses the arguments after the command name; prints the fault and returns
// nothing on a bad option. allowOutput says whether -o is accepted.
std::optional<Options> parseOptions(const std::vector<std::string>& args, bool allowOutput);

} // namespace ordavel::cli
