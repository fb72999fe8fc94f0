#include "device_kinds.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "cls_opos.h"

namespace confix {

namespace {

constexpr std::array<std::string_view, 17> kRecognised = {
    "RevUduzo2S", "RevUduzo2P", "RevUduzo2U", "RevUduzo3S", "RevUduzo3P", "RevUduzo3U",
    "RevUduzo4S", "RevUduzo4P", "RevUduzo4U", "ThermalS",   "ThermalP",   "ThermalN",
    "ThermalU",   "StandardS",  "StandardP",  "StandardN",  "StandardU"};

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IsRecognisedDeviceName(const std::string& device_name) {
  return std::find(kRecognised.begin(), kRecognised.end(), device_name) != kRecognised.end();
}

bool HasKitConfiguration(const std::string& device_class, const std::string& adk_config) {
  if (device_class == kPosPrinterClass) {
    return StartsWith(adk_config, "RevUduzo") || StartsWith(adk_config, "Thermal");
  }
  if (device_class == kCashDrawerClass) return StartsWith(adk_config, "CashDrawer");
  return false;
}

bool IsNetworkEntry(const clsOPOS& entry) {
  if (entry.mstrDeviceClass == kCashDrawerClass) return entry.mstrDeviceName == "StandardN";
  return entry.mstrDeviceName == "ThermalN";
}

}  // namespace confix
