#include "data/delimited_source.h"

#include "data/field_text.h"
#include "file/gbk.h"

#include <array>

namespace ordavel {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // overlong below U+0800
            if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90; // overlong below U+10000
            if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(length) > n)
            return false;
        for (int k = 1; k < length; ++k) {
            const auto t = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            const unsigned char lo = k == 1 ? low : 0x80;
            const unsigned char hi = k == 1 ? high : 0xBF;
            if (t < lo || t > hi)
                return false;
        }
        i += static_cast<std::size_t>(length);
    }
    return true;
}

} // namespace

std::string decodeDataText(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return gbkToUtf8(bytes);
}

char detectDelimiter(std::string_view text)
{
    constexpr std::array<char, 3> kCandidates{',', '\t', ';'};
    std::array<int, 3> counts{};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            break;
        } else if (!quoted) {
            for (std::size_t k = 0; k < kCandidates.size(); ++k)
                if (c == kCandidates[k])
                    ++counts[k];
        }
    }
    std::size_t best = 0;
    for (std::size_t k = 1; k < kCandidates.size(); ++k)
        if (counts[k] > counts[best])
            best = k;
    return kCandidates[best];
}

DataReadResult readDelimitedText(std::string_view text, char delimiter)
{
    DataReadResult result;
    std::vector<std::string> header;
    bool haveHeader = false;
    std::string field;
    std::vector<std::string> row; // the header row only; records go straight to the table
    std::size_t i = 0;
    const std::size_t n = text.size();
    int line = 1;

    while (i < n) {
        // Blank lines between records are skipped.
        if (text[i] == '\n' || text[i] == '\r') {
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            ++i;
            ++line;
            continue;
        }
        const int recordLine = line;
        int column = 0;
        bool endOfRecord = false;
        while (!endOfRecord) {
            ++column;
            field.clear();
            const int fieldLine = line;
            if (i < n && text[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= n) {
                        result.error = dataErrorAt(fieldLine, column, "引号没有闭合");
                        return result;
                    }
                    const char c = text[i++];
                    if (c == '"') {
                        if (i < n && text[i] == '"') {
                            field += '"';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n' || (c == '\r' && !(i < n && text[i] == '\n')))
                        ++line;
                    field += c;
                }
                if (i < n && text[i] != delimiter && text[i] != '\n' && text[i] != '\r') {
                    result.error = dataErrorAt(line, column, "引号后面还有文字");
                    return result;
                }
            } else {
                const std::size_t start = i;
                while (i < n && text[i] != delimiter && text[i] != '\n' && text[i] != '\r')
                    ++i;
                field.assign(text.substr(start, i - start));
            }
            // Here i is at a delimiter, a line break or the end.
            if (i < n && text[i] == delimiter) {
                ++i;
            } else {
                endOfRecord = true;
                if (i < n) {
                    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
                        ++i;
                    ++i;
                    ++line;
                }
            }
            if (!haveHeader) {
                row.emplace_back(trimBlanks(field));
            } else if (column <= result.table.columnCount()) {
                result.table.appendCell(field);
            } else if (!field.empty()) {
                result.error = dataErrorAt(recordLine, column,
                                           "这一行的值比列名多（只有 " + std::to_string(result.table.columnCount()) + " 个列名）");
                return result;
            }
        }
        if (!haveHeader) {
            haveHeader = true;
            header = std::move(row);
            result.table = DataTable(std::move(header));
        } else {
            result.table.endRecord();
        }
    }
    if (!haveHeader)
        result.error = "数据文件是空的，没有列名";
    return result;
}

DataReadResult readDelimited(std::string_view bytes)
{
    const std::string text = decodeDataText(bytes);
    return readDelimitedText(text, detectDelimiter(text));
}

} // namespace ordavel
