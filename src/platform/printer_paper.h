#pragma once
// The paper a printer's driver will really use for a job's paper. On Windows
// a custom size is honoured reliably only as a named form of the spooler, so
// the form is made (or corrected) before the job, and the driver is asked
// what sheet it will put through. CUPS takes the size itself as the job's
// media: there, nothing needs preparing and nothing is asked.
// printer_paper.cpp is the CUPS side, printer_paper_windows.cpp the spooler's.

#include "print/job_paper.h"
#include "print/paper_form.h"

#include <optional>
#include <string>

namespace ordavel {

// Makes sure `printer` ("" for the default printer) has the form of the
// paper, making or correcting it where the user may. "" when it has (or none
// is needed), else why not, with how to make it by hand.
std::string preparePaperForm(const std::string& printer, const JobPaper& paper);

// The sheet the driver of `printer` will use for a job of that paper, chosen
// as the job chooses it (the form when the driver lists it, else a custom
// size); none where it cannot be told.
std::optional<DriverPaper> driverPaper(const std::string& printer, const JobPaper& paper);

// Before a job prints on `printer`: its form prepared, and the warning for
// the user when the driver's sheet differs from the paper; none otherwise.
std::optional<std::string> paperWarning(const std::string& printer, const std::optional<JobPaper>& paper);

} // namespace ordavel
