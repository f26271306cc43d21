#pragma once
// Double -> integer conversion of surface coordinates.

#include <cmath>

namespace ordavel {

// Truncates toward zero. Values a typed-in number can reach but an int
// cannot hold (infinity, 1e300) are held at +-1e9 units and NaN becomes 0,
// instead of the undefined behaviour of a plain cast.
inline int truncateUnits(double value)
{
    constexpr double limit = 1e9;
    if (std::isnan(value))
        return 0;
    if (value > limit)
        return static_cast<int>(limit);
    if (value < -limit)
        return static_cast<int>(-limit);
    return static_cast<int>(value);
}

} // namespace ordavel
