#include "designer/input_validator.h"

#include <QDate>

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace ordavel {

namespace {

using State = QValidator::State;

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool allDigits(const QString& text)
{
    for (QChar c : text)
        if (!isDigit(c))
            return false;
    return true;
}

// A signed integer without leading zeros or plus sign, within [low, high].
State checkInteger(const QString& text, std::int64_t low, std::int64_t high)
{
    if (text.isEmpty() || (text == u"-" && low < 0))
        return QValidator::Intermediate;
    const bool negative = text.startsWith(u'-');
    const QString digits = negative ? text.mid(1) : text;
    if (negative && low >= 0)
        return QValidator::Invalid;
    if (digits.isEmpty() || !allDigits(digits))
        return QValidator::Invalid;
    if (digits.size() > 1 && digits.front() == u'0')
        return QValidator::Invalid;
    if (negative && digits == u"0")
        return QValidator::Invalid;
    const std::string ascii = text.toStdString();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size())
        return QValidator::Invalid; // beyond 64 bits
    // Appending digits only moves a value away from zero, so out of range stays out.
    return value >= low && value <= high ? QValidator::Acceptable : QValidator::Invalid;
}

// Optional minus, digits, at most one point; at least one digit to be complete.
State checkReal(const QString& text, double limit)
{
    bool seenPoint = false;
    bool seenDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'-' && i == 0)
            continue;
        if (c == u'.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (!isDigit(c))
            return QValidator::Invalid;
        seenDigit = true;
    }
    if (!seenDigit)
        return QValidator::Intermediate;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > limit)
        return QValidator::Invalid;
    return QValidator::Acceptable;
}

State checkDecimalText(const QString& text)
{
    bool seenPoint = false;
    for (QChar c : text) {
        if (c == u'.' && !seenPoint)
            seenPoint = true;
        else if (!isDigit(c))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

// One numeric field of a date-time: at most maxDigits digits within [low, high].
// A field still being typed only has to be completable into the range.
struct Field {
    int maxDigits;
    int low;
    int high;
};

bool fieldPossible(const QString& digits, const Field& field, bool complete)
{
    if (digits.isEmpty())
        return !complete;
    if (digits.size() > field.maxDigits || !allDigits(digits))
        return false;
    const int value = digits.toInt();
    if (complete || digits.size() == field.maxDigits)
        return value >= field.low && value <= field.high;
    // Some completion with more digits (or stopping here) lands in range.
    int smallest = value;
    int largest = value;
    for (qsizetype n = digits.size(); n < field.maxDigits; ++n) {
        smallest = smallest * 10;
        largest = largest * 10 + 9;
        if (largest >= field.low && smallest <= field.high)
            return true;
    }
    return value >= field.low && value <= field.high;
}

State checkDateTime(const QString& text)
{
    if (text.isEmpty())
        return QValidator::Intermediate;
    // Split into fields at the separators, remembering which separator came.
    static const Field fields[] = {{4, 1, 9999}, {2, 1, 12}, {2, 1, 31}, {2, 0, 23}, {2, 0, 59}, {2, 0, 59}};
    QString parts[6];
    int count = 1;
    QChar dateSeparator;
    for (QChar c : text) {
        if (isDigit(c)) {
            parts[count - 1].append(c);
            continue;
        }
        // The separator expected after field `count` (1-based).
        bool ok = false;
        if (count == 1 || count == 2) {
            ok = (c == u'-' || c == u'/') && (dateSeparator.isNull() || c == dateSeparator);
            if (ok)
                dateSeparator = c;
        } else if (count == 3) {
            ok = c == u' ';
        } else if (count == 4 || count == 5) {
            ok = c == u':';
        }
        if (!ok || count == 6)
            return QValidator::Invalid;
        ++count;
    }
    for (int i = 0; i < count; ++i) {
        const bool complete = i < count - 1;
        if (i == 0 && complete && parts[0].size() != 4)
            return QValidator::Invalid;
        if (!fieldPossible(parts[i], fields[i], complete))
            return QValidator::Invalid;
    }
    if (count >= 3 && !parts[2].isEmpty() && parts[0].size() == 4) {
        // Month and year known: the day must exist in that month once it is complete.
        const QDate date(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
        const bool dayComplete = count > 3 || parts[2].size() == 2;
        if (dayComplete && !date.isValid())
            return QValidator::Invalid;
    }
    // Complete forms: a date, a date and hour:minute, a date and hour:minute:second.
    const bool lastFilled = !parts[count - 1].isEmpty();
    const bool complete = lastFilled && parts[0].size() == 4 && (count == 3 || count == 5 || count == 6)
        && QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()).isValid();
    return complete ? QValidator::Acceptable : QValidator::Intermediate;
}

} // namespace

bool inputModeRestricts(int mode) { return mode >= InputIntegerText && mode <= InputDateTime; }

QValidator::State checkInput(int mode, const QString& text)
{
    switch (mode) {
    case InputIntegerText: return allDigits(text) ? QValidator::Acceptable : QValidator::Invalid;
    case InputDecimalText: return checkDecimalText(text);
    case InputByte: return checkInteger(text, 1, 255);
    case InputShort: return checkInteger(text, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
    case InputInt: return checkInteger(text, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    case InputLong: return checkInteger(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    case InputFloat: return checkReal(text, static_cast<double>(FLT_MAX));
    case InputDouble: return checkReal(text, DBL_MAX);
    case InputDateTime: return checkDateTime(text);
    default: return QValidator::Acceptable;
    }
}

bool acceptsEdit(int mode, const QString& before, const QString& after)
{
    if (checkInput(mode, after) != QValidator::Invalid)
        return true;
    return after.size() < before.size() && checkInput(mode, before) == QValidator::Invalid;
}

InputModeValidator::InputModeValidator(int mode, QObject* parent) : QValidator(parent), m_mode(mode) {}

QValidator::State InputModeValidator::validate(QString& input, int& /*pos*/) const
{
    return checkInput(m_mode, input);
}

} // namespace ordavel
