#include "data/field_text.h"

#include "field_format/field_format.h"

#include <algorithm>

namespace ordavel {

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

namespace {

// Walks `text`, calling literal(part) for plain text and field(name) for
// each placeholder.
template <typename Literal, typename Field>
void scan(std::string_view text, Literal&& literal, Field&& field)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t dollar = text.find('$', i);
        if (dollar == std::string_view::npos) {
            literal(text.substr(i));
            return;
        }
        literal(text.substr(i, dollar - i));
        if (text.substr(dollar, 3) == "$${") {
            literal("${");
            i = dollar + 3;
        } else if (text.substr(dollar, 2) == "${") {
            const std::size_t close = text.find('}', dollar + 2);
            if (close == std::string_view::npos) {
                literal(text.substr(dollar));
                return;
            }
            field(text.substr(dollar + 2, close - dollar - 2));
            i = close + 1;
        } else {
            literal("$");
            i = dollar + 1;
        }
    }
}

} // namespace

bool hasPlaceholders(std::string_view text) { return text.find("${") != std::string_view::npos; }

std::vector<std::string> placeholderNames(std::string_view text)
{
    std::vector<std::string> names;
    scan(text, [](std::string_view) {}, [&](std::string_view placeholder) {
        const std::string_view name = splitPlaceholder(placeholder).name;
        if (name != kRecordNumberField && name.substr(0, kCounterFieldPrefix.size()) != kCounterFieldPrefix
            && std::find(names.begin(), names.end(), name) == names.end())
            names.emplace_back(name);
    });
    return names;
}

std::optional<CounterField> counterField(std::string_view placeholder)
{
    placeholder = splitPlaceholder(placeholder).name;
    if (placeholder.substr(0, kCounterFieldPrefix.size()) != kCounterFieldPrefix)
        return std::nullopt;
    placeholder.remove_prefix(kCounterFieldPrefix.size());
    CounterField field;
    const std::size_t colon = placeholder.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view pattern = placeholder.substr(colon + 1);
        if (pattern.empty() || pattern.size() > 18 || pattern.find_first_not_of('0') != std::string_view::npos)
            return std::nullopt;
        field.width = static_cast<int>(pattern.size());
        placeholder = placeholder.substr(0, colon);
    }
    if (trimBlanks(placeholder).empty())
        return std::nullopt;
    field.name = std::string(placeholder);
    return field;
}

std::vector<std::string> counterNames(std::string_view text)
{
    std::vector<std::string> names;
    scan(text, [](std::string_view) {}, [&](std::string_view placeholder) {
        if (const auto field = counterField(placeholder);
            field && std::find(names.begin(), names.end(), field->name) == names.end())
            names.push_back(field->name);
    });
    return names;
}

std::vector<std::string> unknownFormats(std::string_view text)
{
    std::vector<std::string> found;
    scan(text, [](std::string_view) {}, [&](std::string_view placeholder) {
        const std::string_view format = splitPlaceholder(placeholder).format;
        if (!knownFormat(format) && std::find(found.begin(), found.end(), placeholder) == found.end())
            found.emplace_back(placeholder);
    });
    return found;
}

std::string formatCounterValue(std::int64_t value, int width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

void substituteFields(std::string_view text, const FieldLookup& lookup, std::string& out)
{
    scan(text, [&](std::string_view part) { out.append(part); },
         [&](std::string_view name) { out.append(lookup(name)); });
}

void substituteCounters(std::string_view text, const FieldLookup& lookup, std::string& out)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find("${", i);
        if (open == std::string_view::npos)
            break;
        const bool escaped = open > 0 && text[open - 1] == '$';
        const std::size_t close = text.find('}', open + 2);
        if (close == std::string_view::npos)
            break;
        const std::string_view name = text.substr(open + 2, close - open - 2);
        if (escaped || !counterField(name)) {
            out.append(text.substr(i, open + 2 - i));
            i = open + 2;
            continue;
        }
        out.append(text.substr(i, open - i));
        out.append(lookup(name));
        i = close + 1;
    }
    out.append(text.substr(i));
}

} // namespace ordavel
