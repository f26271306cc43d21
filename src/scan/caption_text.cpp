// Captions and column names: plain text rules on UTF-8.
#include "scan/scan_analysis.h"
#include "scan/utf8.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace ordavel::scan {

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t value = length == 1 ? c : c & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = valid && (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        out.push_back(valid ? value : 0xFFFD);
        i += valid ? static_cast<std::size_t>(length) : 1;
    }
    return out;
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    for (const char32_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {

bool isBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000 || c == 0xA0; }
bool isWide(char32_t c) { return c >= 0x2E80 && !(c >= 0xFF01 && c <= 0xFF5E); }
bool isColon(char32_t c) { return c == ':' || c == 0xFF1A || c == 0xFE55; }

bool isPunctuation(char32_t c)
{
    if (c < 0x80)
        return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
               (c >= 0x7B && c <= 0x7E);
    return (c >= 0x2010 && c <= 0x2027) || (c >= 0x3001 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE6F) ||
           (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
           (c >= 0xFF5B && c <= 0xFF65) || c == 0xB7 || c == 0xA7 || c == 0x2030 || c == 0xFFFD;
}

void trim(std::u32string& text)
{
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    text.erase(0, start);
}

} // namespace

std::string tidyCaption(std::string_view text)
{
    std::u32string in = decodeUtf8(text);
    for (char32_t& c : in) {
        if (c >= 0xFF01 && c <= 0xFF5E && !isColon(c) && c != 0xFF08 && c != 0xFF09)
            c -= 0xFEE0;
        else if (c == 0xFFE5)
            c = 0xA5; // the full-width yen sign reads as the plain one
        else if (isBlank(c))
            c = ' ';
        // Captions use round brackets; OCR takes some for curly or square ones.
        if (c == '{' || c == '[')
            c = '(';
        else if (c == '}' || c == ']')
            c = ')';
    }
    // Blanks go between words, never between Chinese characters.
    std::u32string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == ' ') {
            if (out.empty() || out.back() == ' ')
                continue;
            std::size_t next = i;
            while (next < in.size() && in[next] == ' ')
                ++next;
            if (next < in.size() && (isWide(out.back()) || isWide(in[next])))
                continue;
        }
        out.push_back(in[i]);
    }
    trim(out);
    // Specks and rule ends read as marks after the caption, and its colon, go.
    while (!out.empty() && (isColon(out.back()) || isBlank(out.back()) ||
                            std::u32string_view(U".,;!|'`_-~").find(out.back()) != std::u32string_view::npos))
        out.pop_back();
    // A bar before a word is the pronoun I, as a capital I reads in sans-serif print.
    if (out.size() >= 2 && out[0] == '|' && out[1] == ' ')
        out[0] = 'I';
    while (!out.empty() && (std::u32string_view(U"|'`\"\u2018\u2019\u201C\u201D.,;:").find(out.front()) != std::u32string_view::npos ||
                            isBlank(out.front())))
        out.erase(out.begin());
    // A remark's closing bracket is too thin to be read at the end of a line.
    const auto opened = std::count(out.begin(), out.end(), U'(') - std::count(out.begin(), out.end(), U')');
    if (opened == 1 && !out.empty() && out.back() != '(')
        out.push_back(')');
    return encodeUtf8(out);
}

std::string columnNameFor(std::string_view caption)
{
    const std::u32string in = decodeUtf8(tidyCaption(caption));
    std::u32string out;
    int depth = 0;
    for (const char32_t c : in) {
        if (c == '(' || c == 0xFF08) {
            ++depth;
            continue;
        }
        if ((c == ')' || c == 0xFF09) && depth > 0) {
            --depth;
            continue;
        }
        if (depth > 0 || isPunctuation(c))
            continue;
        if (isBlank(c) && (out.empty() || out.back() == ' '))
            continue;
        out.push_back(isBlank(c) ? U' ' : c);
    }
    trim(out);
    return out.empty() ? std::string("字段") : encodeUtf8(out);
}

void makeColumnsUnique(std::vector<ProposedField>& fields)
{
    std::map<std::string, int> seen;
    for (ProposedField& field : fields) {
        const std::string base = field.column;
        int& count = seen[base];
        ++count;
        if (count == 1)
            continue;
        std::string name;
        do {
            name = base + std::to_string(count);
            ++count;
        } while (seen.count(name) != 0);
        --count;
        seen[name] = 1;
        field.column = name;
    }
}

} // namespace ordavel::scan
