#include "field_format/field_format.h"

#include "field_format/cheque_date.h"
#include "field_format/chinese_amount.h"
#include "field_format/english_amount.h"

#include <charconv>

namespace ordavel {

namespace {

constexpr std::string_view kCapitals = "大写";
constexpr std::string_view kRmbCapitals = "人民币大写";
constexpr std::string_view kWords = "words";
constexpr std::string_view kGrouped = "金额";
constexpr std::string_view kChequeDate = "票据日期";
constexpr std::string_view kDatePattern = "日期:";

FormatResult failed(std::string reason) { return {false, {}, std::move(reason)}; }

// The decimals of "金额:N", 0..9; -1 when the format is not one.
int groupedDecimals(std::string_view format)
{
    if (format == kGrouped)
        return 2;
    if (format.substr(0, kGrouped.size()) != kGrouped || format.substr(kGrouped.size(), 1) != ":")
        return -1;
    const std::string_view digits = format.substr(kGrouped.size() + 1);
    int decimals = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), decimals);
    if (error != std::errc() || end != digits.data() + digits.size() || decimals < 0 || decimals > 9)
        return -1;
    return decimals;
}

// Digits rounded half away from zero to `decimals`, grouped by thousands.
FormatResult grouped(std::string_view value, int decimals)
{
    const auto amount = readDecimalAmount(value);
    if (!amount)
        return failed("“" + std::string(value) + "”不是金额");
    std::string digits = amount->whole + amount->fraction;
    std::size_t wholeDigits = amount->whole.size();
    const std::size_t keep = wholeDigits + static_cast<std::size_t>(decimals);
    const bool roundUp = digits.size() > keep && digits[keep] >= '5';
    digits.resize(keep, '0');
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            ++wholeDigits;
        } else {
            ++digits[i - 1];
        }
    }
    std::string whole = digits.substr(0, wholeDigits);
    std::string out;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += ',';
        out += whole[i];
    }
    if (decimals > 0)
        out += "." + digits.substr(wholeDigits);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    return {true, (amount->negative && !zero ? "-" : "") + out, {}};
}

} // namespace

FormattedPlaceholder splitPlaceholder(std::string_view placeholder)
{
    const std::size_t bar = placeholder.find('|');
    if (bar == std::string_view::npos)
        return {placeholder, {}};
    return {placeholder.substr(0, bar), placeholder.substr(bar + 1)};
}

// 日期: with a pattern; with none it would print nothing for every date.
bool isDatePattern(std::string_view format)
{
    return format.size() > kDatePattern.size() && format.substr(0, kDatePattern.size()) == kDatePattern;
}

bool knownFormat(std::string_view format)
{
    return format.empty() || format == kCapitals || format == kRmbCapitals || format == kWords
        || groupedDecimals(format) >= 0 || format == kChequeDate || isDatePattern(format);
}

FormatResult formatValue(std::string_view value, std::string_view format)
{
    if (format.empty())
        return {true, std::string(value), {}};
    // An empty cell prints nothing in any format, as it does without one.
    if (value.find_first_not_of(" \t") == std::string_view::npos)
        return knownFormat(format) ? FormatResult{} : failed("未知的格式“" + std::string(format) + "”");
    if (format == kCapitals || format == kRmbCapitals || format == kWords) {
        std::string reason;
        const auto amount = chequeAmount(value, reason);
        if (!amount)
            return failed(reason);
        if (format == kWords)
            return {true, amountInWords(*amount), {}};
        return {true, (format == kRmbCapitals ? "人民币" : "") + amountInCapitals(*amount), {}};
    }
    if (const int decimals = groupedDecimals(format); decimals >= 0)
        return grouped(value, decimals);
    if (format == kChequeDate || isDatePattern(format)) {
        const auto date = readFieldDate(value);
        if (!date)
            return failed("“" + std::string(value) + "”不是日期");
        if (format == kChequeDate)
            return {true, chequeDate(*date), {}};
        return {true, datePattern(*date, format.substr(kDatePattern.size())), {}};
    }
    return failed("未知的格式“" + std::string(format) + "”");
}

} // namespace ordavel
