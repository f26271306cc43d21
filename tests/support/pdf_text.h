#pragma once
// The text of a PDF as pdftotext lays it out (-layout), for tests that check
// what a print wrote; empty when the file cannot be read.

#include "support/run_command.h"

#include <string>

namespace ordavel::test {

inline std::string pdfText(const std::string& pdf)
{
    return runCommand("{ pdftotext -layout " + shellQuoted(pdf) + " - 2>/dev/null; }").output;
}

} // namespace ordavel::test
