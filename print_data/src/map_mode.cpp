#include "print_data/map_mode.h"

#include <cmath>
#include <limits>

namespace print_data {

double DotsPerUnit(int32_t map_mode) {
  switch (map_mode) {
    case kMapModeTwips:
      return 0.12509850275807724;
    case kMapModeEnglish:
      return 0.18014184397163122;
    case kMapModeMetric:
      return 0.07092198581560284;
    default:
      return 1.0;
  }
}

int32_t TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(value);
}

int32_t ToDots(int64_t value, int32_t map_mode) {
  return TruncateToInt(static_cast<double>(value) * DotsPerUnit(map_mode) + 0.5);
}

}  // namespace print_data
