#pragma once
// The print queue a print run hands its jobs to: the system's (CUPS on
// Linux, the Windows spooler on Windows), or a file for a print to a file;
// and the drawing device of a queue document. system_queue.cpp is the
// Linux queue, system_queue_windows.cpp the Windows one.

#include "print_run/spooler.h"

#include <memory>

class QPrinter;

namespace ordavel {

// The system's print queue.
std::unique_ptr<Spooler> systemSpooler();
// The queue of a printer set up by a print dialog: its output file when it
// prints to one, else the system's.
std::unique_ptr<Spooler> spoolerFor(const QPrinter& printer);
// The printer a print dialog's printer names for the journal: its file, or its name.
std::string destinationOf(const QPrinter& printer);

// The device the pages of `document` are drawn on: the document's own
// printer (the Windows spooler's), or a PDF written to its file, kept in
// `pdf`.
QPrinter& pagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf);
// Called while the pages of `document` are open on its device, before they
// end: the Windows spooler's job is looked up now by its document name, as
// the spooler may forget a job as soon as it has printed. Nothing elsewhere.
void noteOpenJob(SpoolDocument& document);
// The PDF the pages of `document` are written to, kept in `pdf`.
QPrinter& pdfPagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf);

} // namespace ordavel
