#include "field_format/chinese_amount.h"

#include <array>

namespace ordavel {

namespace {

constexpr std::array<const char*, 10> kDigits = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr std::array<const char*, 4> kPlaces = {"", "拾", "佰", "仟"};
// Groups of four from the yuan up: yuan, wan, yi, wan-yi.
constexpr std::array<const char*, 4> kGroups = {"", "万", "亿", "万"};

// A group of four digits (1..9999), zeros inside it written as one 零.
std::string groupInCapitals(int group)
{
    std::string out;
    bool zeroPending = false;
    for (int place = 3; place >= 0; --place) {
        int divisor = 1;
        for (int i = 0; i < place; ++i)
            divisor *= 10;
        const int digit = group / divisor % 10;
        if (digit == 0) {
            zeroPending = !out.empty();
            continue;
        }
        if (zeroPending)
            out += kDigits[0];
        zeroPending = false;
        out += kDigits[static_cast<std::size_t>(digit)];
        out += kPlaces[static_cast<std::size_t>(place)];
    }
    return out;
}

std::string yuanInCapitals(std::uint64_t yuan)
{
    std::array<int, 4> groups{};
    for (auto& group : groups) {
        group = static_cast<int>(yuan % 10000);
        yuan /= 10000;
    }
    std::string out;
    bool skippedZeroGroup = false;
    for (int g = 3; g >= 0; --g) {
        const int group = groups[static_cast<std::size_t>(g)];
        if (group == 0) {
            skippedZeroGroup = skippedZeroGroup || !out.empty();
            // The 亿 of a number in the wan-yi stays when its own group is zero.
            if (g == 2 && !out.empty())
                out += kGroups[2];
            continue;
        }
        if (!out.empty() && (skippedZeroGroup || group < 1000))
            out += kDigits[0];
        skippedZeroGroup = false;
        out += groupInCapitals(group);
        out += kGroups[static_cast<std::size_t>(g)];
    }
    return out;
}

} // namespace

std::string amountInCapitals(const FenAmount& amount)
{
    std::string out;
    if (amount.yuan > 0)
        out = yuanInCapitals(amount.yuan) + "元";
    if (amount.jiao == 0 && amount.fen == 0)
        return amount.yuan > 0 ? out + "整" : std::string("零元整");
    if (amount.jiao > 0) {
        out += kDigits[static_cast<std::size_t>(amount.jiao)];
        out += "角";
    } else if (amount.yuan > 0) {
        out += kDigits[0];
    }
    if (amount.fen > 0) {
        out += kDigits[static_cast<std::size_t>(amount.fen)];
        out += "分";
    }
    return out;
}

} // namespace ordavel
