#pragma once
// The page sizes of a PDF as poppler's pdfinfo reads them.

#include "tool_run.h"

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace ordavel::test {

struct PdfPageSize {
    double widthPt = 0;
    double heightPt = 0;
};

inline constexpr double kPointsPerMm = 72.0 / 25.4;

// Every page's size in points; empty when pdfinfo cannot read the file.
inline std::vector<PdfPageSize> pdfPageSizes(const std::filesystem::path& pdf)
{
    const auto info = runCommand("pdfinfo -f 1 -l 99999 " + shellQuoted(pdf));
    std::vector<PdfPageSize> sizes;
    static const std::regex line(R"re(Page\s+\d+ size:\s+([0-9.]+) x ([0-9.]+) pts)re");
    for (auto it = std::sregex_iterator(info.output.begin(), info.output.end(), line); it != std::sregex_iterator(); ++it)
        sizes.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    return sizes;
}

// Each page of `pdf` is widthMm x heightMm within 1 pt (a landscape form
// stays landscape: width and height are not swapped).
inline void expectPagesOf(const std::filesystem::path& pdf, double widthMm, double heightMm)
{
    SCOPED_TRACE(pdf.filename().string());
    const auto sizes = pdfPageSizes(pdf);
    ASSERT_FALSE(sizes.empty()) << runCommand("pdfinfo " + shellQuoted(pdf)).output;
    for (const PdfPageSize& size : sizes) {
        EXPECT_NEAR(size.widthPt, widthMm * kPointsPerMm, 1.0);
        EXPECT_NEAR(size.heightPt, heightMm * kPointsPerMm, 1.0);
    }
}

} // namespace ordavel::test
