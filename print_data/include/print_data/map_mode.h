// MapMode units to printer dots (dot pitch 0.141 mm).
#pragma once

#include <cstdint>

namespace print_data {

inline constexpr int32_t kMapModeDots = 1;
inline constexpr int32_t kMapModeTwips = 2;
inline constexpr int32_t kMapModeEnglish = 3;  // 0.001 inch
inline constexpr int32_t kMapModeMetric = 4;   // 0.01 mm

// Dots per unit of the mode; a mode outside 1..4 is treated as dots.
double DotsPerUnit(int32_t map_mode);

// value x factor + 0.5, truncated toward zero, saturated to the 32-bit range.
int32_t ToDots(int64_t value, int32_t map_mode);

// Truncates toward zero and saturates to the 32-bit range.
int32_t TruncateToInt(double value);

}  // namespace print_data
