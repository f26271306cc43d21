#pragma once
// Placeholders in the text of a box: "${NAME}" stands for the value of column
// NAME, "${#}" for the record's number within the selection,
// "${#seq:NAME}" for the next value of the journal's counter NAME (and
// "${#seq:NAME:000000}" for it padded with zeros to six digits), and "$${"
// for a literal "${". A "${" without a closing "}" is plain text.
// "${NAME|FORMAT}" gives the value in a format (field_format.h): the name is
// what comes before the first "|", for columns and counters alike.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

inline constexpr std::string_view kRecordNumberField = "#";
inline constexpr std::string_view kCounterFieldPrefix = "#seq:";

// Whether `text` holds anything substitution would change ("${" or "$${").
// The text without the spaces and tabs around it.
std::string_view trimBlanks(std::string_view text);

bool hasPlaceholders(std::string_view text);

// The column names `text` refers to, each once, in order; "#" and the
// counters are left out.
std::vector<std::string> placeholderNames(std::string_view text);

// A counter placeholder's parts: "#seq:NAME" or "#seq:NAME:000" (width 3).
struct CounterField {
    std::string name;
    int width = 0; // zeros of the pattern; 0 for none
};
// Nothing when `placeholder` (the text between "${" and "}") is no counter,
// or names none, or its pattern is not all zeros.
std::optional<CounterField> counterField(std::string_view placeholder);
// The counter names `text` uses, each once, in order.
std::vector<std::string> counterNames(std::string_view text);
// The placeholders of `text` (between "${" and "}") whose format is unknown,
// each once, in order.
std::vector<std::string> unknownFormats(std::string_view text);
// `value` with at least `width` digits, zeros in front.
std::string formatCounterValue(std::int64_t value, int width);

// The value of a placeholder's name ("#" included).
using FieldLookup = std::function<std::string_view(std::string_view name)>;

// Appends `text` with every placeholder replaced to `out`.
void substituteFields(std::string_view text, const FieldLookup& lookup, std::string& out);

// Appends `text` with only its counter placeholders replaced; everything else
// (other placeholders, "$${") stays byte for byte. For a page without data.
void substituteCounters(std::string_view text, const FieldLookup& lookup, std::string& out);

} // namespace ordavel
