#include "print_run/windows_printer_status.h"

#include <gtest/gtest.h>

namespace {

using namespace ordavel;
using namespace ordavel::windows_printer_status;

struct PrinterCase {
    const char* name;
    unsigned long status;
    unsigned long attributes;
    const char* state;
    bool accepting;
    const char* reason;
};

class WindowsPrinterState : public testing::TestWithParam<PrinterCase> {};

TEST_P(WindowsPrinterState, GivesStateAcceptanceAndReason)
{
    const PrinterCase& row = GetParam();
    const PrinterStatus got = windowsPrinterStatus("前台", row.status, row.attributes);
    EXPECT_EQ(got.name, "前台");
    EXPECT_EQ(got.state, row.state);
    EXPECT_EQ(got.accepting, row.accepting);
    EXPECT_EQ(got.reason, row.reason);
    EXPECT_FALSE(got.isDefault) << "the default is the caller's to set";
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, WindowsPrinterState,
    testing::Values(
        // What Wine's spooler reports for every printer, whatever CUPS says of the queue.
        PrinterCase{"ready", 0, 0, "idle", true, ""},
        PrinterCase{"printing", kPrinting | kIoActive, 0, "printing", true, ""},
        PrinterCase{"processing", kProcessing, 0, "printing", true, ""},
        // A paused printer still takes jobs into its queue, as a stopped CUPS queue does.
        PrinterCase{"paused", kPaused, 0, "stopped", true, "paused"},
        PrinterCase{"paused while printing", kPaused | kPrinting, 0, "stopped", true, "paused"},
        PrinterCase{"paper out and door open", kPaperOut | kDoorOpen, 0, "stopped", true, "paper out, door open"},
        PrinterCase{"set to work offline", 0, kAttributeWorkOffline, "stopped", true, "work offline"},
        PrinterCase{"offline by attribute and status", kOffline, kAttributeWorkOffline, "stopped", true,
                    "work offline, offline"},
        // Warnings are told without stopping the printer.
        PrinterCase{"toner low while printing", kTonerLow | kPrinting, 0, "printing", true, "toner low"},
        PrinterCase{"power save", kPowerSave, 0, "idle", true, "power save"},
        PrinterCase{"being deleted", kPendingDeletion, 0, "idle", false, "pending deletion"},
        PrinterCase{"unknown bits only", 0x80000000UL, 0x1UL, "idle", true, ""}),
    [](const testing::TestParamInfo<PrinterCase>& row) {
        std::string name = row.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

} // namespace
