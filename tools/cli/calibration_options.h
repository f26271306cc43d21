#pragma once
// Options of the calibration commands: comma-separated numbers, the
// correction and paper options, and a calibration in English for the terminal.

#include "option_parser.h"

#include "print/calibration.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel::cli {

// Exactly `count` finite decimal numbers separated by commas ("1.5,-0.8");
// nothing for anything else.
std::optional<std::vector<double>> parseNumbers(const std::string& text, std::size_t count);

// --offset DX,DY (mm) and --scale SX,SY (percent): a correction of the page
// as a printer's calibration would make it. The limits are checked later,
// with the whole calibration (checkCalibration).
void declareCorrection(OptionParser& parser, Calibration* target);

// --paper W,H: the paper in cm, each from 5 to 500 (default kept as it is in *paperCm).
void declarePaper(OptionParser& parser, std::vector<double>* paperCm, const std::string& within = {});

// "offset X 1.50 mm, Y -0.80 mm; scale X 100.200 %, Y 99.800 %; page length +0.00 mm".
std::string describeEnglish(const Calibration& calibration);

} // namespace ordavel::cli
