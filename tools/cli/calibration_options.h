#pragma once
// Option values of the calibration commands: comma-separated numbers, and
// a calibration in English for the terminal.

#include "print/calibration.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel::cli {

// Exactly `count` finite decimal numbers separated by commas ("1.5,-0.8");
// nothing for anything else.
std::optional<std::vector<double>> parseNumbers(const std::string& text, std::size_t count);

// "offset X 1.50 mm, Y -0.80 mm; scale X 100.200 %, Y 99.800 %; page length +0.00 mm".
std::string describeEnglish(const Calibration& calibration);

} // namespace ordavel::cli
