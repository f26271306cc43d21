#include "print/paper_form.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ordavel {

namespace {

std::string fixed(double value, int decimals)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Centimetres as the print server's form dialog takes them: two decimals, a
// third only where the size has one (290.47 mm is 29.047 cm).
std::string centimetres(int hundredthsMm)
{
    return fixed(hundredthsMm / 1000.0, hundredthsMm % 10 == 0 ? 2 : 3);
}

std::string sizeMm(double width, double height) { return fixed(width, 2) + " × " + fixed(height, 2) + " 毫米"; }

} // namespace

PaperForm paperFormFor(const JobPaper& paper)
{
    return PaperForm{"Ordavel " + paper.sizeName(), paper.widthHundredthsMm * 10, paper.heightHundredthsMm * 10};
}

FormStep formStep(const PaperForm& wanted, const std::optional<FormSize>& existing)
{
    if (!existing)
        return FormStep::Create;
    if (existing->widthMicrons != wanted.widthMicrons || existing->heightMicrons != wanted.heightMicrons)
        return FormStep::Correct;
    return FormStep::Keep;
}

bool paperDiffers(const JobPaper& wanted, const DriverPaper& used)
{
    const double tolerance = 0.1 + std::max(0.0, used.dotMm);
    return std::fabs(used.widthMm - wanted.widthMm()) > tolerance
           || std::fabs(used.heightMm - wanted.heightMm()) > tolerance;
}

std::string paperMismatchText(const std::string& printer, const JobPaper& wanted, const DriverPaper& used)
{
    return "打印机“" + printer + "”将使用 " + sizeMm(used.widthMm, used.heightMm) + "的纸张，模板的纸张是 "
           + sizeMm(wanted.widthMm(), wanted.heightMm()) + "，套打的位置会偏离。";
}

std::string manualFormText(const PaperForm& form)
{
    const int width = form.widthMicrons / 10;
    const int height = form.heightMicrons / 10;
    return "打印机的纸张规格“" + form.name + "”无法自动建立（需要管理员权限）。请由管理员在“打印服务器属性”的"
           "“纸张规格”页勾选“创建新纸张规格”，名称填“" + form.name + "”，单位选“公制”，宽度 " + centimetres(width)
           + " 厘米，高度 " + centimetres(height) + " 厘米，打印机区域边距都填 0，保存后再打印。";
}

std::optional<std::string> paperWarningText(const std::string& printer, const JobPaper& wanted,
                                            const std::optional<DriverPaper>& used, const std::string& formProblem)
{
    if (!used || !paperDiffers(wanted, *used))
        return std::nullopt;
    std::string text = paperMismatchText(printer, wanted, *used);
    if (!formProblem.empty())
        text += "\r\n\r\n" + formProblem;
    return text;
}

} // namespace ordavel
