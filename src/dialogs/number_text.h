#pragma once
// Numbers as the dialogs read and write them in their text fields.

#include <QString>

namespace ordavel {

// The decimal number at the start of `text` (leading blanks skipped, optional
// sign, digits with an optional decimal point); 0 when the text does not start
// with a number. Never fails.
double parseNumber(const QString& text);

// A double with up to 13 significant digits, no trailing zeros ("%.13g").
QString formatDouble(double value);
// A single-precision value with up to 6 significant digits ("%.6g").
QString formatSingle(float value);

} // namespace ordavel
