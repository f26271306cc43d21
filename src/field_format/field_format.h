#pragma once
// The formats a placeholder may give its value: "${NAME|FORMAT}".
//   大写, 人民币大写   the amount in financial capitals (with 人民币 in front)
//   words              an English cheque's amount in words
//   金额, 金额:N       grouped digits with two (or N) decimals: 1,234.56
//   票据日期           a cheque's date in capitals
//   日期:PATTERN       a date in a pattern of yyyy, yy, MM, M, dd, d

#include <string>
#include <string_view>

namespace ordavel {

// A placeholder split at its first "|": "金额|大写" is name 金额, format 大写.
struct FormattedPlaceholder {
    std::string_view name;
    std::string_view format; // empty: the value as it stands
};
FormattedPlaceholder splitPlaceholder(std::string_view placeholder);

struct FormatResult {
    bool ok = true;
    std::string text;   // the formatted value; empty when not ok
    std::string reason; // why not, for the user, when not ok
};

// `value` in `format`; an empty format gives the value unchanged, and an
// empty value nothing. An unknown format or a value the format cannot read
// is not ok.
FormatResult formatValue(std::string_view value, std::string_view format);

// Whether `format` is one formatValue knows (the empty format included).
bool knownFormat(std::string_view format);

} // namespace ordavel
