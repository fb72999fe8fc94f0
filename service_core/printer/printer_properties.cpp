#include "printer_properties.h"

#include <cmath>
#include <limits>

namespace service_core {
namespace {

struct NumberDefault {
  int32_t index;
  int32_t value;
};

// Every printer property and capability that is not 0 when the object is created.
constexpr NumberDefault kThermalDefaults[] = {
    {8002, 437},  // CharacterSet
    {8013, 1},    // MapMode: dots
    {8016, 42},   // RecLineChars
    {8017, 24},   // RecLineHeight
    {8018, 30},   // RecLineSpacing
    {8019, 5},    // RecLinesToPaperCut
    {8020, 512},  // RecLineWidth
    {8022, 69},   // RecSidewaysMaxChars
    {8023, 17},   // RecSidewaysMaxLines
    {8024, 1},    // SlpEmpty
    {8035, 1},    // ErrorLevel
    {8036, 1},    // RotateSpecial
    {8504, 1},    // CapCoverSensor
    {8516, 1},    // CapRecBarCode
    {8517, 1},    // CapRecBitmap
    {8518, 1},    // CapRecBold
    {8519, 1},    // CapRecDhigh
    {8520, 1},    // CapRecDwide
    {8521, 1},    // CapRecDwideDhigh
    {8524, 1},    // CapRecLeft90
    {8526, 1},    // CapRecPapercut
    {8527, 1},    // CapRecPresent
    {8528, 1},    // CapRecRight90
    {8531, 1},    // CapRecUnderline
    {8548, 998},  // CapCharacterSet: ASCII
    {8549, 1},    // CapTransaction
};

constexpr NumberDefault kDotMatrixChanges[] = {
    {8016, 33}, {8020, 396}, {8022, 0}, {8023, 0}, {8515, 1},  // CapRec2Color
    {8516, 0},  {8524, 0},   {8528, 0},
};

constexpr NumberDefault kNoCoverNoCutterChanges[] = {{8504, 0}, {8526, 0}};

constexpr int32_t kThermalLineDots = 512;
constexpr int32_t kDotMatrixLineDots = 396;

// The receipt line of a thermal printer in each MapMode, and the conversion factors.
struct UnitMetrics {
  double dots_per_unit;
  double units_per_dot;
  int32_t thermal_line_width;
  int32_t line_height;
};
constexpr UnitMetrics kUnitMetrics[] = {
    {1.0, 1.0, 512, 24},                                          // dots
    {0.12509850275807724, 7.993700787401574, 4096, 192},          // twips
    {0.18014184397163122, 5.551181102362205, 2844, 133},          // 0.001 inch
    {0.07092198581560284, 14.099999999999998, 7224, 338},         // 0.01 mm
};

const UnitMetrics* MetricsOf(int32_t map_mode) {
  if (map_mode < 1 || map_mode > 4) return nullptr;
  return &kUnitMetrics[map_mode - 1];
}

// Rounds to the nearest whole number (halves up), held inside the 32-bit range.
int32_t RoundClamped(double value) {
  const double rounded = std::floor(value + 0.5);
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

constexpr double kPaperCutDistanceDots = 150.0;

}  // namespace

double DotsPerUnit(int32_t map_mode) {
  const UnitMetrics* metrics = MetricsOf(map_mode);
  return metrics ? metrics->dots_per_unit : 1.0;
}

int32_t UnitsToDots(int32_t value, int32_t map_mode) {
  return RoundClamped(value * DotsPerUnit(map_mode));
}

uint8_t CodePageCommandNumber(int32_t character_set) {
  switch (character_set) {
    case 850:
      return 2;
    case 858:
      return 19;
    case 860:
      return 3;
    case 863:
      return 4;
    case 865:
      return 5;
    case 255:
      return 255;
    default:
      return 0;  // 437
  }
}

bool IsThermalModel(const std::string& model_name) { return model_name.rfind("Thermal", 0) == 0; }

PrinterProperties::PrinterProperties() {
  for (const auto& d : kThermalDefaults) numbers_[d.index] = d.value;
  strings_ = {{1008001, "437"}, {1008003, "42,56"}, {1008004, "80"}, {1008007, "0"}};
}

void PrinterProperties::ApplyModel(const std::string& model_name) {
  std::lock_guard lock(mutex_);
  if (!IsThermalModel(model_name)) {
    for (const auto& d : kDotMatrixChanges) numbers_[d.index] = d.value;
    line_dots_ = kDotMatrixLineDots;
  }
  if (model_name.rfind("RevUduzo4", 0) == 0) {
    for (const auto& d : kNoCoverNoCutterChanges) numbers_[d.index] = d.value;
  }
}

int32_t PrinterProperties::Number(int32_t index) const {
  std::lock_guard lock(mutex_);
  auto it = numbers_.find(index);
  return it == numbers_.end() ? 0 : it->second;
}

std::string PrinterProperties::String(int32_t index) const {
  std::lock_guard lock(mutex_);
  auto it = strings_.find(index);
  return it == strings_.end() ? std::string() : it->second;
}

void PrinterProperties::SetNumber(int32_t index, int32_t value) {
  std::lock_guard lock(mutex_);
  numbers_[index] = value;
}

void PrinterProperties::SetString(int32_t index, const std::string& value) {
  std::lock_guard lock(mutex_);
  strings_[index] = value;
}

void PrinterProperties::ChangeMapMode(int32_t mode) {
  std::lock_guard lock(mutex_);
  const double spacing_dots =
      numbers_[prop::kRecLineSpacing] * DotsPerUnit(numbers_[prop::kMapMode]);
  numbers_[prop::kMapMode] = mode;
  const UnitMetrics* metrics = MetricsOf(mode);
  if (!metrics) return;
  // A dot-matrix line is narrower; the thermal widths scale down with it.
  numbers_[prop::kRecLineWidth] =
      RoundClamped(static_cast<double>(metrics->thermal_line_width) * line_dots_ / kThermalLineDots);
  numbers_[prop::kRecLineHeight] = metrics->line_height;
  // Rounded in every unit, dots included: cutting the fraction would lose a dot on a round
  // trip through another unit (80 dots -> 639 twips -> 79.94 dots).
  numbers_[prop::kRecLineSpacing] = RoundClamped(spacing_dots * metrics->units_per_dot);
}

bool PrinterProperties::ChangeRecLineSpacing(int32_t spacing) {
  std::lock_guard lock(mutex_);
  const double dots = spacing * DotsPerUnit(numbers_[prop::kMapMode]);
  if (!(dots > 0.0)) return false;
  numbers_[prop::kRecLineSpacing] = spacing;
  numbers_[prop::kRecLinesToPaperCut] = RoundClamped(kPaperCutDistanceDots / dots);
  return true;
}

}  // namespace service_core
