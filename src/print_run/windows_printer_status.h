#pragma once
// A Windows printer's state as the print service reports it, from the
// Status and Attributes of the spooler's PRINTER_INFO_2. The statuses are
// winspool.h's PRINTER_STATUS_* bits, repeated here so that the mapping is
// tested on every system.

#include "print_run/spool_job.h"

#include <string>

namespace ordavel {

namespace windows_printer_status {
inline constexpr unsigned long kPaused = 0x1;
inline constexpr unsigned long kError = 0x2;
inline constexpr unsigned long kPendingDeletion = 0x4;
inline constexpr unsigned long kPaperJam = 0x8;
inline constexpr unsigned long kPaperOut = 0x10;
inline constexpr unsigned long kManualFeed = 0x20;
inline constexpr unsigned long kPaperProblem = 0x40;
inline constexpr unsigned long kOffline = 0x80;
inline constexpr unsigned long kIoActive = 0x100;
inline constexpr unsigned long kBusy = 0x200;
inline constexpr unsigned long kPrinting = 0x400;
inline constexpr unsigned long kOutputBinFull = 0x800;
inline constexpr unsigned long kNotAvailable = 0x1000;
inline constexpr unsigned long kWaiting = 0x2000;
inline constexpr unsigned long kProcessing = 0x4000;
inline constexpr unsigned long kInitializing = 0x8000;
inline constexpr unsigned long kWarmingUp = 0x10000;
inline constexpr unsigned long kTonerLow = 0x20000;
inline constexpr unsigned long kNoToner = 0x40000;
inline constexpr unsigned long kPagePunt = 0x80000;
inline constexpr unsigned long kUserIntervention = 0x100000;
inline constexpr unsigned long kOutOfMemory = 0x200000;
inline constexpr unsigned long kDoorOpen = 0x400000;
inline constexpr unsigned long kServerUnknown = 0x800000;
inline constexpr unsigned long kPowerSave = 0x1000000;
// PRINTER_ATTRIBUTE_WORK_OFFLINE: the user set the printer to "Use printer offline".
inline constexpr unsigned long kAttributeWorkOffline = 0x400;
} // namespace windows_printer_status

// The printer `name` with `status` and `attributes`: "stopped" when paused,
// set to work offline or held up by a fault (an error, paper, toner, a door,
// memory, a person needed, off line, not available); else "printing" while
// it prints, processes or is busy; else "idle". It accepts jobs unless it is
// being deleted: a paused Windows printer still queues them. The reason
// names every condition set, in English, comma-separated ("" when none).
PrinterStatus windowsPrinterStatus(std::string name, unsigned long status, unsigned long attributes);

} // namespace ordavel
