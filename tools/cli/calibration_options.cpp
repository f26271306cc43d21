#include "calibration_options.h"

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

std::string describeEnglish(const Calibration& c)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "offset X %.2f mm, Y %.2f mm; scale X %.3f %%, Y %.3f %%; page length %+.2f mm",
                  c.offsetXMm, c.offsetYMm, c.scaleXPercent, c.scaleYPercent, c.pageLengthMm);
    return buffer;
}

} // namespace ordavel::cli
