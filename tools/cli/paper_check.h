#pragma once
// The tool's answer when a printer's driver would put the form through on
// another sheet than its paper: it says so and prints nothing, unless told
// --allow-paper-mismatch.

#include "option_parser.h"

#include "print/job_paper.h"

#include <optional>
#include <string>

namespace ordavel::cli {

// --allow-paper-mismatch into *allowed.
void declareAllowPaperMismatch(OptionParser& parser, bool* allowed);

// The reason not to print on `printer` (a printer's name, or a file a job
// was printed to, which is never asked about); nothing to go on.
std::optional<std::string> paperRefusal(const std::string& printer, const std::optional<JobPaper>& paper,
                                        bool allowed);

} // namespace ordavel::cli
