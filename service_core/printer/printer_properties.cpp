#include "printer_properties.h"

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

}  // namespace

bool IsThermalModel(const std::string& model_name) { return model_name.rfind("Thermal", 0) == 0; }

PrinterProperties::PrinterProperties() {
  for (const auto& d : kThermalDefaults) numbers_[d.index] = d.value;
  strings_ = {{1008001, "437"}, {1008003, "42,56"}, {1008004, "80"}, {1008007, "0"}};
}

void PrinterProperties::ApplyModel(const std::string& model_name) {
  std::lock_guard lock(mutex_);
  if (!IsThermalModel(model_name)) {
    for (const auto& d : kDotMatrixChanges) numbers_[d.index] = d.value;
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

}  // namespace service_core
