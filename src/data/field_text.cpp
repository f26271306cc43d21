#include "data/field_text.h"

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
    scan(text, [](std::string_view) {}, [&](std::string_view name) {
        if (name != kRecordNumberField && std::find(names.begin(), names.end(), name) == names.end())
            names.emplace_back(name);
    });
    return names;
}

void substituteFields(std::string_view text, const FieldLookup& lookup, std::string& out)
{
    scan(text, [&](std::string_view part) { out.append(part); },
         [&](std::string_view name) { out.append(lookup(name)); });
}

} // namespace ordavel
