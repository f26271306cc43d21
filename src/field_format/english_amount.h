#pragma once
// An amount as an English cheque writes it: the whole units in words, each
// word capitalised and no hyphens, then " and " and the cents over 100:
// 1234.56 -> "One Thousand Two Hundred Thirty Four and 56/100".

#include "field_format/decimal_amount.h"

#include <string>

namespace ordavel {

std::string amountInWords(const FenAmount& amount);

} // namespace ordavel
