#pragma once
// ordavel-cli shop pool add NAME STATION/PRINTER... | pool remove NAME | pool list [--json]

#include <string>
#include <vector>

namespace ordavel::cli {

// `args` from "pool" on; the exit status.
int poolCommand(const std::vector<std::string>& args);

} // namespace ordavel::cli
