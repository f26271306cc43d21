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

bool wrapsText(const Box& box)
{
    return (box.type == BoxType::EditBox && box.attributes.multiLine)
        || (box.type == BoxType::Label && box.attributes.wordWrap);
}

namespace {

// One code point of UTF-8 at `at`, which moves past it; a stray byte stands
// for itself.
char32_t nextCodePoint(std::string_view s, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(s[at]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || at + length > s.size()) {
        ++at;
        return lead;
    }
    char32_t c = lead & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (static_cast<unsigned char>(s[at + i]) & 0x3F);
    at += length;
    return c;
}

bool isSpace(char32_t c) { return c == U' ' || c == U'\t'; }

// Scripts written without spaces, where a line may break between any two
// characters: CJK ideographs, kana, Hangul, their punctuation and full-width forms.
bool isCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7AF)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF)
        || (c >= 0x20000 && c <= 0x3FFFF);
}

// No line starts with these.
bool isClosing(char32_t c)
{
    static constexpr std::u32string_view closing = U"，。、；：？！）」』】》〉〕］｝”’…·％‰,.;:?!)]}%";
    return closing.find(c) != std::u32string_view::npos;
}

// No line ends with these.
bool isOpening(char32_t c)
{
    static constexpr std::u32string_view opening = U"（「『【《〈〔［｛“‘([{¥￥$";
    return opening.find(c) != std::u32string_view::npos;
}

// A piece of a line that is never broken: from `begin` to `end`, then the
// spaces after it up to the next piece.
struct Piece {
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::vector<Piece> pieces(std::string_view line)
{
    std::vector<Piece> found;
    std::size_t at = 0;
    std::size_t contentEnd = 0; // end of the last character that is not a space
    char32_t previous = 0;
    bool afterSpace = false;
    bool content = false; // leading spaces stay with the first piece
    while (at < line.size()) {
        const std::size_t here = at;
        const char32_t c = nextCodePoint(line, at);
        if (isSpace(c)) {
            afterSpace = content;
            previous = c;
            continue;
        }
        const bool breakHere = content
            && (afterSpace
                || ((isCjk(previous) || isCjk(c)) && !isClosing(c) && !isOpening(previous)));
        if (breakHere) {
            found.back().end = contentEnd;
            found.push_back({here, here});
        } else if (found.empty()) {
            found.push_back({0, 0});
        }
        content = true;
        afterSpace = false;
        contentEnd = at;
        previous = c;
    }
    if (!found.empty())
        found.back().end = contentEnd;
    return found;
}

} // namespace

std::vector<std::string> wrapLines(const Surface& surface, std::string_view text, int width)
{
    std::vector<std::string> wrapped;
    for (const std::string_view line : textLines(text)) {
        const std::vector<Piece> parts = pieces(line);
        if (parts.empty()) {
            wrapped.emplace_back(line); // empty, or spaces only
            continue;
        }
        std::size_t first = 0;
        for (std::size_t next = 1; next <= parts.size(); ++next) {
            const bool last = next == parts.size();
            if (!last) {
                const std::string_view longer = line.substr(parts[first].begin, parts[next].end - parts[first].begin);
                if (surface.textWidth(longer) <= width)
                    continue;
            }
            wrapped.emplace_back(line.substr(parts[first].begin, parts[next - 1].end - parts[first].begin));
            first = next;
        }
    }
    return wrapped;
}

bool linesFit(const Surface& surface, const std::vector<std::string>& lines, int width, int height)
{
    for (const std::string& line : lines)
        if (!line.empty() && surface.textWidth(line) > width)
            return false;
    if (lines.size() < 2)
        return true;
    const double advance = surface.textLineHeight() + 2.0 * surface.devicePixel();
    return static_cast<double>(lines.size() - 1) * advance + surface.textLineHeight() <= height;
}

bool textFits(const Surface& surface, std::string_view text, int width, int height)
{
    std::vector<std::string> lines;
    for (const std::string_view line : textLines(text))
        lines.emplace_back(line);
    return linesFit(surface, lines, width, height);
}

namespace {

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        if (&line != &lines.front())
            text += '\n';
        text += line;
    }
    return text;
}

} // namespace

TextFit shrinkToFit(Surface& surface, std::string_view text, FontSpec font, int smallest, int width, int height,
                    bool wrap)
{
    const int own = font.size > 0 ? font.size : 9;
    font.size = own;
    const int least = std::min(own, std::max(1, smallest));
    const int steps = static_cast<int>((own - least) / kShrinkStep);
    std::vector<std::string> lines;
    for (int step = 0; step <= steps; ++step) {
        const double size = own - step * kShrinkStep;
        if (step == 0)
            surface.setFont(font);
        else
            surface.setFontPoints(font, size);
        if (!wrap) {
            if (textFits(surface, text, width, height))
                return {size, true, std::string(text)};
            continue;
        }
        lines = wrapLines(surface, text, width);
        if (linesFit(surface, lines, width, height))
            return {size, true, joined(lines)};
    }
    return {static_cast<double>(least), false, wrap ? joined(lines) : std::string(text)};
}

int printUnits(double cm) { return truncateUnits(cm * 100.0); }

} // namespace ordavel
