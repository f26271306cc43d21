#pragma once
// An amount in Chinese financial capitals as the payment settlement rules
// write it on cheques and slips: 1234.56 -> 壹仟贰佰叁拾肆元伍角陆分,
// 100050 -> 壹拾万零伍拾元整, 1000000.01 -> 壹佰万元零壹分.

#include "field_format/decimal_amount.h"

#include <string>

namespace ordavel {

// Where the rules leave a choice, one is kept throughout: a run of zeros
// inside the yuan gives one 零, as does a zero group of four skipped between
// two written ones or a group below a thousand after a written one; a zero
// in the ten-thousands or yuan place before a non-zero thousands or jiao
// writes none (壹拾万柒仟元伍角叁分); no 整 after jiao; 零 between 元 and a
// fen without jiao. Zero is 零元整.
std::string amountInCapitals(const FenAmount& amount);

} // namespace ordavel
