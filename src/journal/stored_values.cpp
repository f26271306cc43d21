#include "journal/stored_values.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace ordavel::journal_detail {

namespace {

// How appendJsonString treats each byte: copied as it is (printable ASCII),
// escaped, the lead byte of a three-byte sequence whose second byte may be
// any continuation byte (most of a Chinese text), or checked in full.
enum JsonByte : unsigned char { kJsonPlain, kJsonEscape, kJsonLead3, kJsonCheck };
constexpr std::array<unsigned char, 256> kJsonBytes = [] {
    std::array<unsigned char, 256> kinds{};
    for (int c = 0; c < 256; ++c) {
        if (c < 0x20 || c == '"' || c == '\\')
            kinds[c] = kJsonEscape;
        else if (c < 0x80)
            kinds[c] = kJsonPlain;
        else if ((c >= 0xe1 && c <= 0xec) || c == 0xee || c == 0xef)
            kinds[c] = kJsonLead3;
        else
            kinds[c] = kJsonCheck;
    }
    return kinds;
}();


// Calls take(name, value) for each [name, value] pair, its name a string, of
// the JSON array `text`; anything else in it is passed over.
template <typename Take>
void forEachJsonPair(const std::string& text, Take&& take)
{
    const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
    if (!array.is_array())
        return;
    for (const auto& pair : array)
        if (pair.is_array() && pair.size() == 2 && pair[0].is_string())
            take(pair[0].get<std::string>(), pair[1]);
}

} // namespace

// The length of the well-formed UTF-8 sequence at text[i], 0 if there is none.
std::size_t wellFormedLength(std::string_view text, std::size_t i)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char c = bytes[i];
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    if (c >= 0xc2 && c <= 0xdf)
        length = 2;
    else if (c >= 0xe0 && c <= 0xef)
        length = 3;
    else if (c >= 0xf0 && c <= 0xf4)
        length = 4;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((bytes[i + k] & 0xc0) != 0x80)
            return 0;
    const unsigned char d = bytes[i + 1];
    if ((c == 0xe0 && d < 0xa0) || (c == 0xed && d >= 0xa0) || (c == 0xf0 && d < 0x90) || (c == 0xf4 && d >= 0x90))
        return 0;
    return length;
}

bool isWellFormedUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = wellFormedLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// A JSON string of `text` as nlohmann::json writes it (UTF-8 kept, invalid
// bytes as U+FFFD), without building a JSON value first: a print writes
// thousands of these.
void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t plain = 0; // start of the run of bytes copied as they are
    const auto flush = [&](std::size_t upto) {
        out.append(text.data() + plain, upto - plain);
    };
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        switch (kJsonBytes[c]) {
        case kJsonPlain:
            ++i;
            continue;
        case kJsonLead3:
            if (i + 2 < size && (bytes[i + 1] & 0xc0) == 0x80 && (bytes[i + 2] & 0xc0) == 0x80) {
                i += 3;
                continue;
            }
            break;
        case kJsonEscape:
            flush(i);
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            plain = ++i;
            continue;
        default:
            break;
        }
        const std::size_t length = wellFormedLength(text, i);
        if (length > 0) {
            i += length;
        } else {
            flush(i);
            out += "\xef\xbf\xbd";
            plain = ++i;
        }
    }
    flush(size);
    out += '"';
}

void ValuesJsonWriter::write(const JournalValues& values, std::string& text)
{
    if (m_names.size() < values.size())
        m_names.resize(values.size());
    text.clear();
    text += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto& [name, opening] = m_names[i];
        if (opening.empty() || name != values[i].name) {
            name = values[i].name;
            opening.assign(1, '[');
            appendJsonString(opening, name);
            opening += ',';
        }
        if (i > 0)
            text += ',';
        text += opening;
        appendJsonString(text, values[i].value);
        text += ']';
    }
    text += ']';
}

std::string valuesJson(const JournalValues& values)
{
    std::string text;
    ValuesJsonWriter().write(values, text);
    return text;
}
JournalValues valuesFromJson(const std::string& text)
{
    JournalValues values;
    forEachJsonPair(text, [&](std::string name, const nlohmann::json& value) {
        if (value.is_string())
            values.push_back({std::move(name), value.get<std::string>()});
    });
    return values;
}

std::string namesJson(const std::vector<std::string>& names)
{
    std::string text = "[";
    for (const auto& name : names) {
        if (text.size() > 1)
            text += ',';
        appendJsonString(text, name);
    }
    return text + "]";
}

// A record's counter values as stored: [["name",17],...], "" for none.
std::string countersJson(const std::vector<CounterValue>& values)
{
    if (values.empty())
        return {};
    std::string text = "[";
    for (const auto& value : values) {
        if (text.size() > 1)
            text += ',';
        text += '[';
        appendJsonString(text, value.name);
        text += ',';
        text += std::to_string(value.value);
        text += ']';
    }
    return text + "]";
}

// The counter values stored by countersJson, by name.
std::vector<CounterValue> countersFromJson(const std::string& text)
{
    std::vector<CounterValue> values;
    if (text.empty())
        return values;
    forEachJsonPair(text, [&](std::string name, const nlohmann::json& value) {
        if (value.is_number_integer())
            values.push_back({std::move(name), value.get<std::int64_t>()});
    });
    std::sort(values.begin(), values.end(), [](const CounterValue& a, const CounterValue& b) { return a.name < b.name; });
    return values;
}

std::vector<std::string> namesFromJson(const std::string& text)
{
    std::vector<std::string> names;
    const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
    if (array.is_array())
        for (const auto& name : array)
            if (name.is_string())
                names.push_back(name.get<std::string>());
    return names;
}

// Every value a record printed, one a line: what --search looks through. A
// column's value found within a printed field's text is left out: whatever
// matches it matches the field, and the index is spared the repetition.
void searchTextInto(const JournalValues& fields, const JournalValues& columns, std::string& text)
{
    text.clear();
    for (const auto& value : fields) {
        if (!text.empty())
            text += '\n';
        text += value.value;
    }
    const std::size_t printed = text.size();
    const auto isPrinted = [&](const std::string& value) {
        // Most often a box prints the column alone.
        for (const auto& field : fields)
            if (field.value == value)
                return true;
        return std::string_view(text).substr(0, printed).find(value) != std::string_view::npos;
    };
    for (const auto& value : columns) {
        if (value.value.empty() || isPrinted(value.value))
            continue;
        if (!text.empty())
            text += '\n';
        text += value.value;
    }
}

std::string searchTextOf(const JournalValues& fields, const JournalValues& columns)
{
    std::string text;
    searchTextInto(fields, columns, text);
    return text;
}

// The search text of a record whose fields arrive after its columns were
// stored alone (as `columnsText`, one value a line).
std::string searchTextWithFields(const JournalValues& fields, std::string_view columnsText)
{
    JournalValues columns;
    while (!columnsText.empty()) {
        const std::size_t end = columnsText.find('\n');
        columns.push_back({{}, std::string(columnsText.substr(0, end))});
        columnsText = end == std::string_view::npos ? std::string_view() : columnsText.substr(end + 1);
    }
    return searchTextOf(fields, columns);
}

std::string joinIds(const std::vector<int>& ids)
{
    std::string text;
    for (const int id : ids) {
        if (!text.empty())
            text += ',';
        text += std::to_string(id);
    }
    return text;
}

std::vector<int> splitIds(const std::string& text)
{
    std::vector<int> ids;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t comma = text.find(',', at);
        const std::string part = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (!part.empty())
            ids.push_back(std::atoi(part.c_str()));
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return ids;
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80)
            ++count;
    return count;
}

std::string foldAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string wellFormedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = wellFormedLength(text, i);
        if (length == 0) {
            out += "\xef\xbf\xbd";
            ++i;
        } else {
            if (text[i] != '\0')
                out.append(text.data() + i, length);
            i += length;
        }
    }
    return out;
}

} // namespace ordavel::journal_detail
