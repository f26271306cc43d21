#include "dialogs/number_text.h"

#include <charconv>
#include <string>

namespace ordavel {

double parseNumber(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    std::string number;
    if (i < n && text[i] == u'-')
        number += '-';
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            number += static_cast<char>(c);
            digits = true;
        } else if (c == u'.' && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    std::from_chars(number.data(), number.data() + number.size(), value); // locale-free
    return value;
}

QString formatDouble(double value)
{
    return QString::number(value, 'g', 13); // locale-free, like "%.13g"
}

QString formatSingle(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

} // namespace ordavel
