#include "print_run/windows_printer_status.h"

#include <utility>

namespace ordavel {

namespace {

namespace bit = windows_printer_status;

struct Condition {
    unsigned long bit;
    const char* words;
    bool stops;
};

// In the order a reason names them: what stops the printer first.
constexpr Condition kConditions[] = {
    {bit::kPaused, "paused", true},
    {bit::kError, "error", true},
    {bit::kOffline, "offline", true},
    {bit::kNotAvailable, "not available", true},
    {bit::kServerUnknown, "server unknown", true},
    {bit::kPaperJam, "paper jam", true},
    {bit::kPaperOut, "paper out", true},
    {bit::kPaperProblem, "paper problem", true},
    {bit::kManualFeed, "manual feed", true},
    {bit::kNoToner, "no toner", true},
    {bit::kDoorOpen, "door open", true},
    {bit::kOutputBinFull, "output bin full", true},
    {bit::kOutOfMemory, "out of memory", true},
    {bit::kUserIntervention, "user intervention", true},
    {bit::kPagePunt, "page punt", false},
    {bit::kTonerLow, "toner low", false},
    {bit::kPendingDeletion, "pending deletion", false},
    {bit::kInitializing, "initializing", false},
    {bit::kWarmingUp, "warming up", false},
    {bit::kPowerSave, "power save", false},
};

} // namespace

PrinterStatus windowsPrinterStatus(std::string name, unsigned long status, unsigned long attributes)
{
    PrinterStatus out;
    out.name = std::move(name);
    bool stopped = false;
    if ((attributes & bit::kAttributeWorkOffline) != 0) {
        stopped = true;
        out.reason = "work offline";
    }
    for (const Condition& c : kConditions) {
        if ((status & c.bit) == 0)
            continue;
        stopped = stopped || c.stops;
        out.reason += (out.reason.empty() ? "" : ", ");
        out.reason += c.words;
    }
    if (stopped)
        out.state = "stopped";
    else if ((status & (bit::kPrinting | bit::kProcessing | bit::kBusy | bit::kIoActive)) != 0)
        out.state = "printing";
    else
        out.state = "idle";
    out.accepting = (status & bit::kPendingDeletion) == 0;
    return out;
}

} // namespace ordavel
