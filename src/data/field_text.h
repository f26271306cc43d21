#pragma once
// Placeholders in the text of a box: "${NAME}" stands for the value of column
// NAME, "${#}" for the record's number within the selection, and "$${" for a
// literal "${". A "${" without a closing "}" is plain text.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

inline constexpr std::string_view kRecordNumberField = "#";

// Whether `text` holds anything substitution would change ("${" or "$${").
// The text without the spaces and tabs around it.
std::string_view trimBlanks(std::string_view text);

bool hasPlaceholders(std::string_view text);

// The column names `text` refers to, each once, in order; "#" is left out.
std::vector<std::string> placeholderNames(std::string_view text);

// The value of a placeholder's name ("#" included).
using FieldLookup = std::function<std::string_view(std::string_view name)>;

// Appends `text` with every placeholder replaced to `out`.
void substituteFields(std::string_view text, const FieldLookup& lookup, std::string& out);

} // namespace ordavel
