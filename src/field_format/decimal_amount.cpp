#include "field_format/decimal_amount.h"

namespace ordavel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string withoutDecorations(std::string_view text)
{
    static constexpr std::string_view kYen = "\xC2\xA5";         // ¥
    static constexpr std::string_view kFullYen = "\xEF\xBF\xA5"; // ￥
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, kYen.size()) == kYen) {
            i += kYen.size();
        } else if (text.substr(i, kFullYen.size()) == kFullYen) {
            i += kFullYen.size();
        } else if (text[i] == ',' || text[i] == ' ' || text[i] == '\t') {
            ++i;
        } else {
            out += text[i++];
        }
    }
    return out;
}

} // namespace

std::optional<DecimalAmount> readDecimalAmount(std::string_view text)
{
    const std::string plain = withoutDecorations(text);
    std::string_view rest = plain;
    DecimalAmount amount;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        amount.negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    const std::size_t point = rest.find('.');
    const std::string_view whole = rest.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    for (const std::string_view part : {whole, fraction})
        for (const char c : part)
            if (!isDigit(c))
                return std::nullopt;
    const std::size_t first = whole.find_first_not_of('0');
    amount.whole = first == std::string_view::npos ? "0" : std::string(whole.substr(first));
    amount.fraction = std::string(fraction);
    if (amount.whole == "0" && amount.fraction.find_first_not_of('0') == std::string::npos)
        amount.negative = false;
    return amount;
}

std::optional<FenAmount> chequeAmount(std::string_view text, std::string& reason)
{
    const auto amount = readDecimalAmount(text);
    if (!amount) {
        reason = "“" + std::string(text) + "”不是金额";
        return std::nullopt;
    }
    if (amount->negative) {
        reason = "金额“" + std::string(text) + "”是负数";
        return std::nullopt;
    }
    std::string fraction = amount->fraction;
    while (fraction.size() > 2 && fraction.back() == '0')
        fraction.pop_back();
    if (fraction.size() > 2) {
        reason = "金额“" + std::string(text) + "”的小数超过两位";
        return std::nullopt;
    }
    if (amount->whole.size() > 16) {
        reason = "金额“" + std::string(text) + "”太大（应小于 10 的 16 次方）";
        return std::nullopt;
    }
    fraction.resize(2, '0');
    FenAmount fen;
    for (const char c : amount->whole)
        fen.yuan = fen.yuan * 10 + static_cast<std::uint64_t>(c - '0');
    fen.jiao = fraction[0] - '0';
    fen.fen = fraction[1] - '0';
    return fen;
}

} // namespace ordavel
