#pragma once
// Putting the calibration page on a QPrinter (a real printer or a PDF file).

#include "print/calibration_page.h"

#include <string>

class QPrinter;

namespace ordavel {

// Paper of exactly page.widthMm x page.heightMm (to 0.01 mm), portrait, full
// page with zero margins, then the page drawn uncorrected in 0.1 mm. False
// when the printer could not be opened.
// With a `program` ("designer", "tool") the page is written to the print
// journal as a calibration page; a journal problem goes to *journalProblem.
bool printCalibrationPage(QPrinter& printer, const CalibrationPage& page, const std::string& program = {},
                          std::string* journalProblem = nullptr);

// Today's date as the page shows it, e.g. "2026-12-08".
std::string calibrationPageDate();

} // namespace ordavel
