#include "print/job_paper.h"

#include "print/print_job.h"

#include <cmath>

namespace ordavel {

namespace {

// 23000 -> "230", 29047 -> "290.47", 21350 -> "213.5".
std::string millimetres(int hundredths)
{
    std::string text = std::to_string(hundredths / 100);
    const int fraction = std::abs(hundredths % 100);
    if (fraction != 0) {
        text += '.';
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

int hundredthsOf(double mm) { return static_cast<int>(std::lround(mm * 100.0)); }

} // namespace

std::string JobPaper::sizeName() const
{
    return millimetres(widthHundredthsMm) + "x" + millimetres(heightHundredthsMm) + "mm";
}

std::string JobPaper::cupsMedia() const { return "Custom." + sizeName(); }

std::vector<std::pair<std::string, std::string>> JobPaper::cupsOptions() const
{
    return {{"media", cupsMedia()}, {"print-scaling", "none"}};
}

std::optional<JobPaper> jobPaper(const PageSettings& page, double pageLengthMm)
{
    if (page.sheet.active()) {
        const int length = hundredthsOf(std::isfinite(pageLengthMm) ? pageLengthMm : 0.0);
        const auto sheet = jobPaperMm(page.sheet.widthCm * 10.0, page.sheet.heightCm * 10.0);
        if (!sheet || sheet->heightHundredthsMm + length <= 0)
            return std::nullopt;
        return JobPaper{sheet->widthHundredthsMm, sheet->heightHundredthsMm + length};
    }
    const auto paper = paperSize(page);
    if (!paper)
        return std::nullopt;
    const int height = paper->heightHundredthsMm + hundredthsOf(std::isfinite(pageLengthMm) ? pageLengthMm : 0.0);
    if (height <= 0)
        return std::nullopt;
    return JobPaper{paper->widthHundredthsMm, height};
}

std::optional<JobPaper> jobPaperMm(double widthMm, double heightMm)
{
    if (!(widthMm > 0.0 && heightMm > 0.0) || !std::isfinite(widthMm) || !std::isfinite(heightMm))
        return std::nullopt;
    const int width = hundredthsOf(widthMm);
    const int height = hundredthsOf(heightMm);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return JobPaper{width, height};
}

} // namespace ordavel
