#include "print/text_fit.h"

#include "print/print_units.h"

#include <algorithm>

namespace ordavel {

std::vector<std::string_view> textLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

bool textFits(const Surface& surface, std::string_view text, int width, int height)
{
    const std::vector<std::string_view> lines = textLines(text);
    for (const std::string_view line : lines)
        if (!line.empty() && surface.textWidth(line) > width)
            return false;
    if (lines.size() < 2)
        return true;
    const double advance = surface.textLineHeight() + 2.0 * surface.devicePixel();
    return static_cast<double>(lines.size() - 1) * advance + surface.textLineHeight() <= height;
}

TextFit shrinkToFit(Surface& surface, std::string_view text, FontSpec font, int smallest, int width, int height)
{
    const int own = font.size > 0 ? font.size : 9;
    font.size = own;
    const int least = std::min(own, std::max(1, smallest));
    const int steps = static_cast<int>((own - least) / kShrinkStep);
    for (int step = 0; step <= steps; ++step) {
        const double size = own - step * kShrinkStep;
        if (step == 0)
            surface.setFont(font);
        else
            surface.setFontPoints(font, size);
        if (textFits(surface, text, width, height))
            return {size, true};
    }
    return {static_cast<double>(least), false};
}

int printUnits(double cm) { return truncateUnits(cm * 100.0); }

} // namespace ordavel
