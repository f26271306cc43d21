#include "paper_check.h"

#include "platform/printer_paper.h"
#include "print_run/run_journal.h"

namespace ordavel::cli {

void declareAllowPaperMismatch(OptionParser& parser, bool* allowed)
{
    parser.flag("--allow-paper-mismatch",
                "print even when the printer's driver will use another paper than the template's (Windows)", allowed);
}

std::optional<std::string> paperRefusal(const std::string& printer, const std::optional<JobPaper>& paper,
                                        bool allowed)
{
    if (allowed || printedToFile(printer))
        return std::nullopt;
    // A driver that puts the form through on another sheet wastes every form:
    // said before anything prints.
    const auto warning = paperWarning(printer, paper);
    if (!warning)
        return std::nullopt;
    return *warning + " (--allow-paper-mismatch prints all the same)";
}

} // namespace ordavel::cli
