#pragma once
// The usage tips of the help window, in order (UTF-8, CR LF line breaks).

#include <array>
#include <string>

namespace ordavel {

inline constexpr int kTipCount = 23;
const std::array<std::string, kTipCount>& helpTips();

// "第n条：" followed by tip n (1-based).
std::string numberedTip(int n);

} // namespace ordavel
