#pragma once
// The named paper a Windows printer needs for a job's paper. A driver honours
// a custom size reliably only as a form the spooler knows, so each job's
// paper gets a form of its exact size, named after it; and what the driver
// will really put through is read back and compared with the job's paper
// before anything prints.

#include "print/job_paper.h"

#include <optional>
#include <string>

namespace ordavel {

// A spooler form: its name and size in thousandths of a millimetre, the unit
// of the spooler's form calls. Its printable area is the whole sheet.
struct PaperForm {
    std::string name; // "Ordavel 230x127mm"
    int widthMicrons = 0;
    int heightMicrons = 0;
    friend bool operator==(const PaperForm&, const PaperForm&) = default;
};

PaperForm paperFormFor(const JobPaper& paper);

// What to do with a printer's form of that name: make it when there is
// none, correct it when its size is not the paper's, else keep it.
enum class FormStep { Keep, Correct, Create };
struct FormSize {
    int widthMicrons = 0;
    int heightMicrons = 0;
};
FormStep formStep(const PaperForm& wanted, const std::optional<FormSize>& existing);

// The paper a driver says it will print on, as the device reports it.
struct DriverPaper {
    double widthMm = 0.0;
    double heightMm = 0.0;
    double dotMm = 0.0; // one device dot: the driver gives its paper in whole dots
};

// True when the driver's paper differs from the job's by more than 0.1 mm on
// either side (beyond the dot the driver rounds to). A sheet the driver
// turns (127 x 230 for a 230 x 127 form) differs: the form would print turned.
bool paperDiffers(const JobPaper& wanted, const DriverPaper& used);

// What is said before printing on a paper that differs, with both sizes:
// "打印机“P”将使用 210.00 × 297.00 毫米的纸张，模板的纸张是 230.00 × 127.00 毫米，
// 套打的位置会偏离。"
std::string paperMismatchText(const std::string& printer, const JobPaper& wanted, const DriverPaper& used);

// How to make the form by hand where the spooler would not (no right to
// change the print server's forms), with its exact name and size.
std::string manualFormText(const PaperForm& form);

// What a user is told before a job prints on `printer`: the mismatch and,
// when the form could not be made, how to make it; none when the driver's
// paper is the job's or cannot be told.
std::optional<std::string> paperWarningText(const std::string& printer, const JobPaper& wanted,
                                            const std::optional<DriverPaper>& used, const std::string& formProblem);

} // namespace ordavel
