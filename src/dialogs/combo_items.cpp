#include "dialogs/combo_items.h"

namespace ordavel {

std::vector<std::string> splitComboItems(const std::string& text)
{
    // UTF-8 never has a comma byte inside a multi-byte character.
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            if (start < text.size())
                parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    if (!parts.empty())
        parts.erase(parts.begin());
    return parts;
}

bool isBlankItem(const std::string& text)
{
    static const std::string fullWidthBlank = "\u3000";
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ')
            ++i;
        else if (text.compare(i, fullWidthBlank.size(), fullWidthBlank) == 0)
            i += fullWidthBlank.size();
        else
            return false;
    }
    return true;
}

} // namespace ordavel
