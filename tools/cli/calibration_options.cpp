#include "calibration_options.h"

#include "print/calibration_page.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ordavel::cli {

std::optional<std::vector<double>> parseNumbers(const std::string& text, std::size_t count)
{
    std::vector<double> numbers;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.empty())
            return std::nullopt;
        char* end = nullptr;
        const double value = std::strtod(part.c_str(), &end);
        if (end != part.c_str() + part.size() || !std::isfinite(value))
            return std::nullopt;
        numbers.push_back(value);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (numbers.size() != count)
        return std::nullopt;
    return numbers;
}

void declareCorrection(OptionParser& parser, Calibration* target)
{
    parser.option({.name = "--offset", .value = "DX,DY", .help = "move the page right and down by DX and DY mm"},
                  [target](const std::string& value) {
                      const auto pair = parseNumbers(value, 2);
                      if (!pair)
                          return std::string("--offset takes two numbers separated by a comma, e.g. --offset 1.5,-0.8");
                      target->offsetXMm = (*pair)[0];
                      target->offsetYMm = (*pair)[1];
                      return std::string();
                  });
    parser.option({.name = "--scale", .value = "SX,SY", .help = "scale the page across and down in percent"},
                  [target](const std::string& value) {
                      const auto pair = parseNumbers(value, 2);
                      if (!pair)
                          return std::string("--scale takes two numbers separated by a comma, e.g. --scale 100.2,99.8");
                      target->scaleXPercent = (*pair)[0];
                      target->scaleYPercent = (*pair)[1];
                      return std::string();
                  });
}

void declarePaper(OptionParser& parser, std::vector<double>* paperCm, const std::string& within)
{
    constexpr double kMaxPaperCm = 500.0;
    parser.option({.name = "--paper", .value = "W,H", .help = "the paper's width and height in cm (default 21,29.7)",
                   .within = within},
                  [paperCm](const std::string& value) {
                      const auto paper = parseNumbers(value, 2);
                      const auto fits = [](double cm) {
                          return cm * 10.0 >= kMinCalibrationPaperMm && cm <= kMaxPaperCm;
                      };
                      if (!paper || !fits((*paper)[0]) || !fits((*paper)[1]))
                          return std::string(
                              "--paper takes the width and height in cm, each from 5 to 500, e.g. 21,29.7");
                      *paperCm = *paper;
                      return std::string();
                  });
}

std::string describeEnglish(const Calibration& c)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "offset X %.2f mm, Y %.2f mm; scale X %.3f %%, Y %.3f %%; page length %+.2f mm",
                  c.offsetXMm, c.offsetYMm, c.scaleXPercent, c.scaleYPercent, c.pageLengthMm);
    return buffer;
}

} // namespace ordavel::cli
