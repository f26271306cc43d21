#pragma once
// The subcommands of ordavel-cli. Each command lives in its own file and
// registers itself with a static CommandRegistration, so that main() only
// dispatches and no file lists every command.

#include <string>
#include <vector>

namespace ordavel::cli {

// Runs one command with the arguments after its name; returns the exit status.
// A command reports bad input on stderr and returns 1; given --help, it
// prints its help and runs nothing.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    std::string (*usage)(); // one line, e.g. "dump FILE.oxf", from the command's declared options
    CommandFunction run;
};

const std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

} // namespace ordavel::cli
