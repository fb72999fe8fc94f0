#include "display_config.h"

#include "device_config.h"
#include "platform/registry.h"

namespace line_display {

namespace reg = platform::registry;

namespace {
constexpr size_t kMaxStringLength = 255;
constexpr const char kStandardModel[] = "XV-310K";
}  // namespace

DisplayConfigResult ReadDisplayConfiguration(const std::string& device_name,
                                             DisplayConfiguration& config, std::string* missing) {
  reg::Key key;
  if (reg::Key::Open(
          reg::Root::LocalMachine,
          service_core::DeviceKeyPath(service_core::DeviceClass::LineDisplay, device_name),
          reg::Access::Write, key) != reg::kSuccess) {
    return DisplayConfigResult::kNoDeviceKey;
  }
  auto fail = [&](const char* name) {
    if (missing) *missing = name;
    return DisplayConfigResult::kMissingValue;
  };
  struct Required {
    const char* name;
    int* target;
  };
  const Required numbers[] = {{"BitLength", &config.bit_length},
                              {"HandShake", &config.handshake},
                              {"Parity", &config.parity},
                              {"Stop", &config.stop},
                              {"XonXoff", &config.xon_xoff}};
  for (const Required& value : numbers) {
    uint32_t number = 0;
    if (key.QueryDword(value.name, number) != reg::kSuccess) return fail(value.name);
    *value.target = static_cast<int>(number);
  }
  for (auto [name, target] :
       {std::pair{"Port", &config.port}, std::pair{"DeviceName", &config.device_name}}) {
    std::string text;
    if (key.QueryString(name, text) != reg::kSuccess) return fail(name);
    *target = text.substr(0, kMaxStringLength);
  }
  uint32_t baud = 0;
  config.baudrate = key.QueryDword("Baudrate", baud) == reg::kSuccess ? static_cast<int>(baud) : 6;
  return DisplayConfigResult::kOk;
}

bool IsStandardModel(const std::string& device_name) {
  return device_name.rfind(kStandardModel, 0) == 0;
}

}  // namespace line_display
