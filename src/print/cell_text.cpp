#include "print/cell_text.h"

#include "field_format/decimal_amount.h"

namespace ordavel {

namespace {

// The UTF-8 characters of `text`, line breaks left out.
std::vector<std::string> characters(std::string_view text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view one = text.substr(i, length);
        if (one != "\r" && one != "\n")
            out.emplace_back(one);
        i += length;
    }
    return out;
}

} // namespace

std::optional<std::vector<std::string>> cellCharacters(std::string_view text, int cells, bool yenBeforeFirst)
{
    std::vector<std::string> content;
    if (const auto amount = readDecimalAmount(text)) {
        if (amount->negative)
            content.emplace_back("-");
        // With a point, an amount of money: jiao and fen always take their two
        // cells ("0.5" puts 5 under 角). Without one, digits as they stand.
        std::string fraction = amount->fraction;
        const bool money = text.find('.') != std::string_view::npos;
        if (money && fraction.size() < 2)
            fraction.resize(2, '0');
        const std::string digits = (amount->whole == "0" && money ? "" : amount->whole) + fraction;
        for (const char digit : digits)
            content.emplace_back(1, digit);
    } else {
        content = characters(text);
    }
    if (content.empty())
        return std::vector<std::string>(static_cast<std::size_t>(std::max(cells, 0)));
    if (yenBeforeFirst)
        content.insert(content.begin(), "\xC2\xA5");
    if (cells < 0 || content.size() > static_cast<std::size_t>(cells))
        return std::nullopt;
    std::vector<std::string> out(static_cast<std::size_t>(cells) - content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

} // namespace ordavel
