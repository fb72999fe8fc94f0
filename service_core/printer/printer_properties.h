// The printer's own properties (indexes 8001 and up, 1008001 and up) with the values they
// have when the object is created, and the changes a printer model brings. The common
// OPOS properties of the frame are kept by CPOSPrinter itself.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace service_core {

class PrinterProperties {
 public:
  PrinterProperties();

  // A configured model name not beginning with "Thermal" takes the dot-matrix values; one
  // beginning with "RevUduzo4" also has no cover sensor and no paper cutter.
  void ApplyModel(const std::string& model_name);

  // Unknown indexes read as 0 and "".
  int32_t Number(int32_t index) const;
  std::string String(int32_t index) const;
  void SetNumber(int32_t index, int32_t value);
  void SetString(int32_t index, const std::string& value);

 private:
  mutable std::mutex mutex_;  // the status and output threads update some of them
  std::map<int32_t, int32_t> numbers_;
  std::map<int32_t, std::string> strings_;
};

bool IsThermalModel(const std::string& model_name);

}  // namespace service_core
