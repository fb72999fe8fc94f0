// The two printer models, which differ in commands, feeds and images.
#pragma once

#include <string_view>

namespace print_data {

enum class PrinterKind { kThermal, kDotMatrix };

// The configured device name selects the model: "Thermal..." is the thermal printer, any
// other name the dot-matrix printer.
inline PrinterKind PrinterKindFromDeviceName(std::string_view device_name) {
  return device_name.substr(0, 7) == "Thermal" ? PrinterKind::kThermal : PrinterKind::kDotMatrix;
}

}  // namespace print_data
