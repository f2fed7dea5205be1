#pragma once
// The one float-to-integer conversion for values read from tracks and files: truncation
// toward zero, defined everywhere (NaN gives 0, values beyond the integer's range saturate).
#include <cmath>
#include <cstdint>
#include <limits>

template <typename Int>
inline Int fw_FloatToInteger(double value) {
    static_assert(std::numeric_limits<Int>::is_signed, "a signed integer");
    constexpr double kLimit = -static_cast<double>(std::numeric_limits<Int>::min());  // 2^(bits - 1)
    if (std::isnan(value))
        return 0;
    if (value >= kLimit)
        return std::numeric_limits<Int>::max();
    if (value <= -kLimit)
        return std::numeric_limits<Int>::min();
    return static_cast<Int>(value);
}

inline int32_t fw_FloatToInt(double value) {
    return fw_FloatToInteger<int32_t>(value);
}

inline int64_t fw_FloatToInt64(double value) {
    return fw_FloatToInteger<int64_t>(value);
}
