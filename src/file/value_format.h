#pragma once
// Text forms of the values in a template description, both directions.
// Every function works in the C locale whatever the process locale is, and
// no reader ever fails: text that holds no number reads as 0.

#include "model/box.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// --- writing ---
std::string formatInt(long long value);          // decimal, "-" when negative
inline const char* formatFlag(bool value) { return value ? "1" : "0"; }
std::string formatColor(Color color);            // decimal 0x00BBGGRR; white is 16777215
std::string formatPaperSize(float cm);           // "%.6g": 21 -> "21", 29.7f -> "29.7"
std::string formatPrintValue(double cm);         // "%.13g": 2.65 -> "2.65"
// "%d年%d月%d日", then "%d时%d分%d秒" when the second is not 0, else "%d时%d分"
// when the minute is not 0, else "%d时" when the hour is not 0, else nothing.
std::string formatDateTime(const DateTime& value);

// --- reading ---
// True only for the exact text "1".
inline bool readFlag(std::string_view text) { return text == "1"; }
// The leading decimal integer ([+-]digits); 0 when there is none. Values
// outside the int range are clamped to it.
int readInt(std::string_view text);
// The leading decimal number ([+-]digits[.digits][e[+-]digits], at least one
// digit before the exponent); 0 when there is none or it is not finite as a double.
double readNumber(std::string_view text);
// A number truncated toward zero and clamped to the int range (document integers).
int readTruncatedNumber(std::string_view text);
// The leading integer taken modulo 2^32, so that every written colour reads back.
Color readColor(std::string_view text);
// The date-time form above; year, month and day may also be separated by "-",
// ".", "/" or ":" (then an optional "日"), the time may also be "H:M[:S]" after
// a space. Years 100..9999; a date that does not exist, text left over, empty
// or unreadable text gives 1 January of the year 100, 00:00:00.
DateTime readDateTime(std::string_view text);
// A drop-down list's items in their file form: each item preceded by one comma,
// the empty text for no items. Reading drops the piece before the first comma
// and keeps every other piece, empty ones included (",A,,B" gives A, "", B).
std::string formatComboItems(const std::vector<std::string>& items);
std::vector<std::string> readComboItems(std::string_view text);
// True when the calendar date exists and the time is within a day (years 100..9999).
bool isValidDateTime(const DateTime& value);

} // namespace ordavel
