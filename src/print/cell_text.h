#pragma once
// A text printed one character a cell, from the right, as amounts are on
// bank slips and cheques: 12345.60 over 亿千百十万千百十元角分 puts 1 under 万
// and 0 under 分.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// What goes into each of `cells` cells, from the left; empty strings for the
// cells left empty. An amount ("¥1,234.50", "12345.60") gives its digits
// without separators, point or currency sign, at least two after the point
// when it has one ("0.5" gives 5 and 0); any other text its
// characters, line breaks left out. With yenBeforeFirst a "¥" takes the cell
// before the first character. Nothing when there are more characters than
// cells.
std::optional<std::vector<std::string>> cellCharacters(std::string_view text, int cells, bool yenBeforeFirst);

} // namespace ordavel
