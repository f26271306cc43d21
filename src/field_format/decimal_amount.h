#pragma once
// An amount of money as typed into a data file: digits with an optional
// decimal point, possibly with thousands separators, a currency sign and
// spaces ("¥1,234.56", "1 234.5"). Read exactly, without floating point.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

struct DecimalAmount {
    bool negative = false;
    std::string whole = "0"; // digits, no leading zeros ("0" for none)
    std::string fraction;    // the digits after the point, as typed
};

// Nothing when `text` is no amount: empty, letters, two points, a sign
// anywhere but in front. `,`, spaces, "¥" and "￥" are dropped first.
std::optional<DecimalAmount> readDecimalAmount(std::string_view text);

// An amount of yuan to the fen, as cheques and bank slips write it.
struct FenAmount {
    std::uint64_t yuan = 0; // below 10^16
    int jiao = 0;
    int fen = 0;
};

// The amount for a cheque: not negative, at most two decimals and below
// 10^16; otherwise nothing and `reason` says why.
std::optional<FenAmount> chequeAmount(std::string_view text, std::string& reason);

} // namespace ordavel
