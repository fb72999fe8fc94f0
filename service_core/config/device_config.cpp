#include "device_config.h"

#include "platform/registry.h"

namespace service_core {
namespace {

using platform::registry::Access;
using platform::registry::Key;
using platform::registry::kSuccess;
using platform::registry::Root;

const char* ClassName(DeviceClass device_class) {
  switch (device_class) {
    case DeviceClass::POSPrinter: return "POSPrinter";
    case DeviceClass::CashDrawer: return "CashDrawer";
    case DeviceClass::LineDisplay: return "LineDisplay";
  }
  return "";
}

// String values are limited like the fixed buffers they were read into.
constexpr size_t kMaxStringLength = 255;

int ReadNumber(const Key& key, const char* name, int fallback) {
  uint32_t value = 0;
  return key.QueryDword(name, value) == kSuccess ? static_cast<int>(value) : fallback;
}

bool ReadString(const Key& key, const char* name, std::string& out) {
  std::string value;
  if (key.QueryString(name, value) != kSuccess) return false;
  out = value.substr(0, kMaxStringLength);
  return true;
}

}  // namespace

std::string ClassKeyPath(DeviceClass device_class) {
  return std::string("Software\\OLEforRetail\\ServiceOPOS\\") + ClassName(device_class);
}

std::string DeviceKeyPath(DeviceClass device_class, const std::string& device_name) {
  std::string key_name = device_name;
  Key class_key;
  std::string logical;
  if (Key::Open(Root::LocalMachine, ClassKeyPath(device_class), Access::Read, class_key) ==
          kSuccess &&
      class_key.QueryString(device_name, logical) == kSuccess && !logical.empty()) {
    key_name = logical;
  }
  return std::string("SOFTWARE\\OLEforRetail\\ServiceOPOS\\") + ClassName(device_class) + "\\" +
         key_name;
}

ConfigResult ReadSerialConfiguration(DeviceClass device_class, const std::string& device_name,
                                     SerialConfiguration& config, std::string* missing) {
  Key key;
  if (Key::Open(Root::LocalMachine, DeviceKeyPath(device_class, device_name), Access::Write,
                key) != kSuccess) {
    return ConfigResult::kNoDeviceKey;
  }
  auto fail = [&](const char* name) {
    if (missing) *missing = name;
    return ConfigResult::kMissingValue;
  };
  struct Required {
    const char* name;
    int* target;
  };
  const Required numbers[] = {{"Baudrate", &config.baudrate}, {"BitLength", &config.bit_length},
                              {"HandShake", &config.handshake}, {"Parity", &config.parity},
                              {"Stop", &config.stop},         {"XonXoff", &config.xon_xoff}};
  for (const auto& value : numbers) {
    *value.target = ReadNumber(key, value.name, -1);
    if (*value.target == -1) return fail(value.name);
  }
  if (!ReadString(key, "Port", config.port)) return fail("Port");
  config.input_buf = ReadNumber(key, "InputBuf", 1024);
  config.output_buf = ReadNumber(key, "OutputBuf", 1024);
  config.input_sleep = ReadNumber(key, "InputSleep", 24);
  if (device_class == DeviceClass::CashDrawer) {
    config.connector_pin = ReadNumber(key, "ConnectorPinNo", 0);
    config.open_level = ReadNumber(key, "OpenLevel", 1);
  }
  if (!ReadString(key, "DeviceName", config.device_name)) return fail("DeviceName");
  return ConfigResult::kOk;
}

}  // namespace service_core
