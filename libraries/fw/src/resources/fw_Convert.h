#pragma once
// The one float-to-integer conversion for values read from tracks and files: truncation
// toward zero, defined everywhere (NaN gives 0, values beyond int32 saturate).
#include <cmath>
#include <cstdint>

inline int32_t fw_FloatToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
