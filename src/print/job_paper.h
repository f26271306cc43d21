#pragma once
// The paper a print job goes out on, decided in one place for every way of
// printing (the designer, the tool, the print service, reprints, resumed
// jobs, the calibration page): the template's exact size to 0.01 mm, longer
// by a calibrated page-length correction, in the template's own orientation
// (a 230 x 127 mm form is a landscape page of 230 x 127 mm, never turned onto
// a portrait sheet), and the options that make the spooler print it unscaled.

#include "model/document.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordavel {

struct JobPaper {
    int widthHundredthsMm = 0;
    int heightHundredthsMm = 0;

    double widthMm() const { return widthHundredthsMm / 100.0; }
    double heightMm() const { return heightHundredthsMm / 100.0; }
    bool landscape() const { return widthHundredthsMm > heightHundredthsMm; }
    // The size in millimetres with the shortest decimals, "230x127mm",
    // "213x290.47mm", as the scheduler prints it.
    std::string sizeName() const;
    // The CUPS media keyword for the size, e.g. "Custom.230x127mm".
    std::string cupsMedia() const;
    // The job options a spooler is given beside the document: the media and
    // no scaling, so the page is neither fitted to the queue's default paper
    // nor rotated onto it.
    std::vector<std::pair<std::string, std::string>> cupsOptions() const;

    friend bool operator==(const JobPaper&, const JobPaper&) = default;
};

// The template's paper (each side rounded to 0.01 mm as typed; the sheet's
// when the template prints several forms to a sheet) with
// pageLengthMm added to its height, also rounded to 0.01 mm. Nothing when
// the template has no size (either side not > 0): the printer keeps its paper.
std::optional<JobPaper> jobPaper(const PageSettings& page, double pageLengthMm = 0.0);

// A paper given in millimetres (the calibration page's), rounded to 0.01 mm;
// nothing when either side is not > 0.
std::optional<JobPaper> jobPaperMm(double widthMm, double heightMm);

} // namespace ordavel
