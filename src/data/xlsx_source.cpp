// The one file that uses pugixml. Parts are found through the package's
// relationships, so transitional and strict workbooks read the same way;
// elements are matched by local name whatever their namespace prefix.
#include "data/xlsx_source.h"

#include "field_format/cheque_date.h"

#include "data/zip_archive.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace ordavel {

namespace {

constexpr std::size_t kMaxPartBytes = 1u << 30;

std::string_view localName(const char* name)
{
    const std::string_view full(name);
    const auto colon = full.rfind(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

bool isNamed(const pugi::xml_node& node, std::string_view name) { return localName(node.name()) == name; }

pugi::xml_node child(const pugi::xml_node& node, std::string_view name)
{
    for (pugi::xml_node c : node.children())
        if (c.type() == pugi::node_element && isNamed(c, name))
            return c;
    return {};
}

// An attribute by local name (r:id, relationships:id and plain id alike).
const char* attribute(const pugi::xml_node& node, std::string_view name)
{
    for (pugi::xml_attribute a : node.attributes())
        if (localName(a.name()) == name)
            return a.value();
    return "";
}

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Strings escape characters XML cannot hold as _xHHHH_ (_x000D_ is a CR).
std::string unescapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            unsigned code = 0;
            bool hex = true;
            for (std::size_t k = i + 2; k < i + 6; ++k) {
                const char c = text[k];
                const int digit = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f'             ? c - 'a' + 10
                    : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                                       : -1;
                if (digit < 0) {
                    hex = false;
                    break;
                }
                code = code * 16 + static_cast<unsigned>(digit);
            }
            if (hex) {
                appendUtf8(out, code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of a string item (<si> or <is>): every <t>, rich-text runs
// included, phonetic runs (<rPh>) left out.
void collectText(const pugi::xml_node& node, std::string& out)
{
    for (pugi::xml_node c : node.children()) {
        if (c.type() != pugi::node_element)
            continue;
        if (isNamed(c, "t")) {
            for (pugi::xml_node text : c.children())
                if (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata)
                    out += text.value();
        } else if (isNamed(c, "r")) {
            collectText(c, out);
        }
    }
}

std::string stringItem(const pugi::xml_node& node)
{
    std::string raw;
    collectText(node, raw);
    return unescapeText(raw);
}

// "../worksheets/sheet1.xml" relative to "xl/" -> "xl/worksheets/sheet1.xml";
// a target starting with "/" is from the package root.
std::string resolvePart(const std::string& base, std::string target)
{
    std::string path = target.rfind('/', 0) == 0 ? target.substr(1) : base + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string joined;
    for (const auto& part : parts)
        joined += (joined.empty() ? "" : "/") + part;
    return joined;
}

std::string folderOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string relsOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    return folder + "_rels/" + part.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct Relationship {
    std::string type;
    std::string target;
};

// Column index (0-based) of a cell reference such as "AB12"; -1 without letters.
int columnOfReference(std::string_view ref)
{
    int column = 0;
    std::size_t i = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i) {
        column = column * 26 + (ref[i] - 'A' + 1);
        if (column > 16384)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

// Built-in number formats a workbook may use without declaring them.
std::string builtinFormat(int id)
{
    switch (id) {
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 14: return "yyyy-mm-dd";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "yyyy-mm-dd h:mm";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mm:ss.0";
    case 49: return "@";
    default: break;
    }
    // East Asian built-in dates and times.
    if ((id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) || id == 57 || id == 58)
        return "yyyy-mm-dd";
    if ((id >= 32 && id <= 35) || id == 55 || id == 56)
        return "h:mm:ss";
    return "General";
}

// The parts of a format code outside quotes, escapes and brackets, lower-cased.
std::string formatTokens(std::string_view code)
{
    std::string tokens;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '[') {
            const auto end = code.find(']', i + 1);
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            break;
        } else {
            tokens += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return tokens;
}

struct DateKind {
    bool date = false;
    bool time = false;
};

DateKind dateKind(std::string_view code)
{
    const std::string tokens = formatTokens(code);
    if (tokens == "general")
        return {};
    DateKind kind;
    kind.date = tokens.find_first_of("yd") != std::string::npos;
    kind.time = tokens.find_first_of("hs") != std::string::npos;
    if (!kind.date && !kind.time && tokens.find('m') != std::string::npos)
        kind.date = true;
    return kind;
}

// A time of day, or elapsed time when the format has "[h]" (hours past 24).
std::string timeText(double value, std::string_view format)
{
    if (!std::isfinite(value) || value < 0 || value > 1e7)
        return {};
    const long long seconds = std::llround(value * 86400.0);
    const bool elapsed = format.find("[h") != std::string_view::npos || format.find("[H") != std::string_view::npos;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", elapsed ? seconds / 3600 : seconds / 3600 % 24,
                  seconds / 60 % 60, seconds % 60);
    return text;
}

std::string generalNumber(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

struct Workbook {
    std::unique_ptr<ZipArchive> zip;
    std::string workbookPart;
    std::vector<std::pair<std::string, std::string>> sheets; // name, part
    std::map<std::string, std::string> relsByType;           // type suffix -> part
    bool date1904 = false;
};

std::map<std::string, Relationship> readRelationships(const ZipArchive& zip, const std::string& part)
{
    std::map<std::string, Relationship> rels;
    const auto xml = zip.read(relsOf(part), kMaxPartBytes);
    if (!xml)
        return rels;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml->data(), xml->size()))
        return rels;
    for (pugi::xml_node r : doc.document_element().children()) {
        if (r.type() == pugi::node_element && isNamed(r, "Relationship"))
            rels[attribute(r, "Id")] = {attribute(r, "Type"), resolvePart(folderOf(part), attribute(r, "Target"))};
    }
    return rels;
}

// Opens the package and finds the workbook, its sheets and parts; the error
// text when it is not a workbook.
std::optional<Workbook> openWorkbook(std::string_view bytes, std::string& error)
{
    Workbook book;
    book.zip = ZipArchive::open(bytes);
    if (!book.zip) {
        error = bytes.substr(0, 4) == "\xD0\xCF\x11\xE0"
            ? "这不是 XLSX 文件：文件设置了密码，或是旧的 XLS 格式，请另存为 XLSX 或 CSV"
            : "这不是 XLSX 文件（不是 ZIP 压缩包）";
        return std::nullopt;
    }
    for (const auto& [id, rel] : readRelationships(*book.zip, "")) {
        (void)id;
        if (endsWith(rel.type, "/officeDocument"))
            book.workbookPart = rel.target;
    }
    if (book.workbookPart.empty())
        book.workbookPart = "xl/workbook.xml";
    const auto xml = book.zip->read(book.workbookPart, kMaxPartBytes);
    pugi::xml_document doc;
    if (!xml || !doc.load_buffer(xml->data(), xml->size())) {
        error = "XLSX 文件已经损坏：没有工作簿";
        return std::nullopt;
    }
    const auto rels = readRelationships(*book.zip, book.workbookPart);
    for (const auto& [id, rel] : rels) {
        (void)id;
        for (const char* type : {"/sharedStrings", "/styles"})
            if (endsWith(rel.type, type))
                book.relsByType[type] = rel.target;
    }
    const pugi::xml_node root = doc.document_element();
    const std::string_view date1904 = attribute(child(root, "workbookPr"), "date1904");
    book.date1904 = date1904 == "1" || date1904 == "true";
    for (pugi::xml_node sheet : child(root, "sheets").children()) {
        if (sheet.type() != pugi::node_element || !isNamed(sheet, "sheet"))
            continue;
        const auto rel = rels.find(attribute(sheet, "id"));
        book.sheets.emplace_back(attribute(sheet, "name"), rel == rels.end() ? std::string() : rel->second.target);
    }
    return book;
}

struct Styles {
    std::vector<std::string> cellFormats; // format code per cell style index
};

Styles readStyles(const Workbook& book)
{
    Styles styles;
    const auto found = book.relsByType.find("/styles");
    if (found == book.relsByType.end())
        return styles;
    const auto xml = book.zip->read(found->second, kMaxPartBytes);
    pugi::xml_document doc;
    if (!xml || !doc.load_buffer(xml->data(), xml->size()))
        return styles;
    const pugi::xml_node root = doc.document_element();
    std::map<int, std::string> custom;
    for (pugi::xml_node f : child(root, "numFmts").children())
        if (f.type() == pugi::node_element && isNamed(f, "numFmt"))
            custom[std::atoi(attribute(f, "numFmtId"))] = attribute(f, "formatCode");
    for (pugi::xml_node xf : child(root, "cellXfs").children()) {
        if (xf.type() != pugi::node_element || !isNamed(xf, "xf"))
            continue;
        const int id = std::atoi(attribute(xf, "numFmtId"));
        const auto c = custom.find(id);
        styles.cellFormats.push_back(c != custom.end() ? c->second : builtinFormat(id));
    }
    return styles;
}

std::vector<std::string> readSharedStrings(const Workbook& book, bool& ok)
{
    std::vector<std::string> strings;
    ok = true;
    const auto found = book.relsByType.find("/sharedStrings");
    if (found == book.relsByType.end())
        return strings;
    const auto xml = book.zip->read(found->second, kMaxPartBytes);
    pugi::xml_document doc;
    if (!xml || !doc.load_buffer(xml->data(), xml->size(), pugi::parse_default | pugi::parse_ws_pcdata)) {
        ok = false;
        return strings;
    }
    for (pugi::xml_node si : doc.document_element().children())
        if (si.type() == pugi::node_element && isNamed(si, "si"))
            strings.push_back(stringItem(si));
    return strings;
}

// ISO 8601 text of a t="d" cell: "2021-01-01T10:00:00" -> "2021-01-01 10:00:00",
// a time of midnight dropped.
std::string isoDateText(std::string_view text)
{
    std::string out(text.substr(0, text.find_first_of("Z+", 10)));
    if (out.size() > 10 && out[10] == 'T')
        out[10] = ' ';
    if (endsWith(out, " 00:00:00"))
        out.resize(10);
    const auto dot = out.find('.', 10);
    if (dot != std::string::npos)
        out.resize(dot);
    return out;
}

} // namespace

std::string serialDateText(double serial, bool date1904, bool withTime)
{
    if (!std::isfinite(serial) || serial < (date1904 ? 0.0 : 1.0) || serial >= 2958466.0)
        return {};
    long long days = static_cast<long long>(std::floor(serial));
    long long seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    char date[64];
    if (!date1904 && days == 60) {
        // The 1900 system counts a 29 February 1900 that never was.
        std::snprintf(date, sizeof date, "1900-02-29");
    } else {
        // Serial 1 is 1900-01-01 (or 1904-01-02 in the 1904 system).
        const long long epochOffset = date1904 ? -24107 : (days < 60 ? -25568 : -25569);
        const CalendarDate c = civilFromDays(days + epochOffset);
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", c.year, c.month, c.day);
    }
    std::string text = date;
    if (withTime) {
        char clock[64];
        std::snprintf(clock, sizeof clock, " %02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
        text += clock;
    }
    return text;
}

std::string formatSpreadsheetNumber(double value, std::string_view code)
{
    // The first section only; a negative value keeps its sign.
    std::string prefix;
    std::string suffix;
    int decimals = 0;
    bool placeholders = false;
    bool afterPoint = false;
    bool thousands = false;
    bool percent = false;
    bool scientific = false;
    std::string* literal = &prefix;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';')
            break;
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            literal->append(code.substr(i + 1, (end == std::string_view::npos ? code.size() : end) - i - 1));
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '[') {
            // [$¥-804] gives its currency symbol; colours and conditions nothing.
            const auto end = code.find(']', i + 1);
            const std::string_view inside = code.substr(i + 1, (end == std::string_view::npos ? code.size() : end) - i - 1);
            if (!inside.empty() && inside[0] == '$')
                literal->append(inside.substr(1, inside.find('-') == std::string_view::npos ? std::string_view::npos : inside.find('-') - 1));
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '\\') {
            if (i + 1 < code.size())
                *literal += code[++i];
        } else if (c == '_') {
            *literal += ' ';
            ++i;
        } else if (c == '*') {
            ++i;
        } else if (c == '0' || c == '#' || c == '?') {
            placeholders = true;
            literal = &suffix;
            suffix.clear();
            if (afterPoint)
                ++decimals;
        } else if (c == '.' && placeholders) {
            afterPoint = true;
        } else if (c == ',' && placeholders && !afterPoint) {
            thousands = true;
        } else if (c == '%') {
            percent = true;
            *literal += c;
        } else if (c == 'E' || c == 'e') {
            scientific = true;
        } else if (c == '@') {
            literal->clear();
        } else {
            *literal += c;
        }
    }
    if (!placeholders || scientific)
        return generalNumber(value);
    if (percent)
        value *= 100.0;
    char buffer[400];
    // Halves round away from zero, as spreadsheets show them (printf rounds them to even).
    const double scale = std::pow(10.0, decimals);
    const double shown = std::fabs(value) < 1e15 ? std::round(std::fabs(value) * scale) / scale : std::fabs(value);
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, shown);
    std::string number = buffer;
    if (thousands) {
        const auto point = number.find('.');
        std::size_t integerEnd = point == std::string::npos ? number.size() : point;
        for (std::size_t pos = integerEnd; pos > 3; pos -= 3)
            number.insert(pos - 3, ",");
    }
    const bool negative = value < 0 && number.find_first_not_of("0.,") != std::string::npos;
    return (negative ? "-" : "") + prefix + number + suffix;
}

std::vector<std::string> xlsxSheetNames(std::string_view bytes)
{
    std::string error;
    std::vector<std::string> names;
    if (const auto book = openWorkbook(bytes, error))
        for (const auto& sheet : book->sheets)
            names.push_back(sheet.first);
    return names;
}

DataReadResult readXlsx(std::string_view bytes, const std::string& sheetName)
{
    DataReadResult result;
    auto book = openWorkbook(bytes, result.error);
    if (!book)
        return result;
    if (book->sheets.empty()) {
        result.error = "XLSX 文件里没有工作表";
        return result;
    }
    std::string part = book->sheets.front().second;
    result.sheet = book->sheets.front().first;
    if (!sheetName.empty()) {
        const auto found = std::find_if(book->sheets.begin(), book->sheets.end(),
                                        [&](const auto& sheet) { return sheet.first == sheetName; });
        if (found == book->sheets.end()) {
            std::string names;
            for (const auto& sheet : book->sheets)
                names += (names.empty() ? "" : "、") + sheet.first;
            result.error = "没有名为“" + sheetName + "”的工作表（有：" + names + "）";
            return result;
        }
        part = found->second;
        result.sheet = sheetName;
    }
    bool stringsOk = true;
    const std::vector<std::string> strings = readSharedStrings(*book, stringsOk);
    const Styles styles = readStyles(*book);
    const auto xml = book->zip->read(part, kMaxPartBytes);
    pugi::xml_document doc;
    if (!stringsOk || !xml || !doc.load_buffer(xml->data(), xml->size(), pugi::parse_default | pugi::parse_ws_pcdata)) {
        result.error = "XLSX 文件已经损坏：工作表读不出来";
        return result;
    }

    bool haveHeader = false;
    std::vector<std::string> cells;
    int rowNumber = 0;
    for (pugi::xml_node row : child(doc.document_element(), "sheetData").children()) {
        if (row.type() != pugi::node_element || !isNamed(row, "row"))
            continue;
        const int declared = std::atoi(attribute(row, "r"));
        rowNumber = declared > 0 ? declared : rowNumber + 1;
        cells.clear();
        int next = 0;
        for (pugi::xml_node c : row.children()) {
            if (c.type() != pugi::node_element || !isNamed(c, "c"))
                continue;
            const int byReference = columnOfReference(attribute(c, "r"));
            const int column = byReference >= 0 ? byReference : next;
            next = column + 1;
            const std::string_view type = attribute(c, "t");
            const char* raw = child(c, "v").child_value();
            std::string text;
            if (type == "s") {
                const int index = std::atoi(raw);
                if (*raw == '\0' || index < 0 || static_cast<std::size_t>(index) >= strings.size()) {
                    result.error = dataErrorAt(rowNumber, column + 1, "共享字符串的编号不存在");
                    return result;
                }
                text = strings[static_cast<std::size_t>(index)];
            } else if (type == "inlineStr") {
                const pugi::xml_node is = child(c, "is");
                text = is ? stringItem(is) : unescapeText(raw);
            } else if (type == "str" || type == "e") {
                text = unescapeText(raw);
            } else if (type == "b") {
                text = std::string_view(raw) == "1" ? "TRUE" : std::string_view(raw) == "0" ? "FALSE" : raw;
            } else if (type == "d") {
                text = isoDateText(raw);
            } else if (*raw != '\0') {
                char* end = nullptr;
                const double value = std::strtod(raw, &end);
                const int style = std::atoi(attribute(c, "s"));
                const std::string format = style >= 0 && static_cast<std::size_t>(style) < styles.cellFormats.size()
                    ? styles.cellFormats[static_cast<std::size_t>(style)]
                    : std::string("General");
                const DateKind kind = dateKind(format);
                if (end == raw || *end != '\0')
                    text = raw;
                else if (kind.date)
                    text = serialDateText(value, book->date1904, kind.time);
                else if (kind.time)
                    text = timeText(value, format);
                else
                    text = formatSpreadsheetNumber(value, format);
            }
            if (static_cast<std::size_t>(column) >= cells.size())
                cells.resize(static_cast<std::size_t>(column) + 1);
            cells[static_cast<std::size_t>(column)] = std::move(text);
        }
        const bool empty = std::all_of(cells.begin(), cells.end(), [](const std::string& s) { return s.empty(); });
        if (empty)
            continue;
        if (!haveHeader) {
            // Trailing unnamed columns do not count.
            while (!cells.empty() && cells.back().empty())
                cells.pop_back();
            result.table = DataTable(cells);
            haveHeader = true;
            continue;
        }
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (k < static_cast<std::size_t>(result.table.columnCount())) {
                result.table.appendCell(cells[k]);
            } else if (!cells[k].empty()) {
                result.error = dataErrorAt(rowNumber, static_cast<int>(k) + 1,
                                           "这一行的值比列名多（只有 " + std::to_string(result.table.columnCount()) + " 个列名）");
                return result;
            }
        }
        result.table.endRecord();
    }
    if (!haveHeader)
        result.error = "工作表是空的，没有列名";
    return result;
}

} // namespace ordavel
