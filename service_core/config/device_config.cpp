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

constexpr int kDefaultTcpPort = 9100;

// `Port` of a network entry: a DWORD, or the text the setup utility writes ("9100").
bool ReadTcpPort(const Key& key, int& port) {
  uint32_t number = 0;
  if (key.QueryDword("Port", number) == kSuccess) {
    port = number >= 1 && number <= 65535 ? static_cast<int>(number) : -1;
    return port > 0;
  }
  std::string text;
  if (key.QueryString("Port", text) == kSuccess) {
    port = ParseTcpPort(text);
    return port > 0;
  }
  platform::registry::Value value;
  if (key.QueryValue("Port", value) == kSuccess) return false;  // some other type
  port = kDefaultTcpPort;
  return true;
}

}  // namespace

int ParseTcpPort(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return -1;
  const size_t last = text.find_last_not_of(" \t");
  long value = 0;
  for (size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
    if (value > 65535) return -1;
  }
  return value >= 1 ? static_cast<int>(value) : -1;
}

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

namespace service_core {

ConfigResult ReadDeviceConfiguration(DeviceClass device_class, const std::string& device_name,
                                     LinkConfiguration link, SerialConfiguration& config,
                                     std::string* missing) {
  if (link == LinkConfiguration::Serial)
    return ReadSerialConfiguration(device_class, device_name, config, missing);
  Key key;
  if (Key::Open(Root::LocalMachine, DeviceKeyPath(device_class, device_name), Access::Write,
                key) != kSuccess) {
    return ConfigResult::kNoDeviceKey;
  }
  auto fail = [&](const char* name) {
    if (missing) *missing = name;
    return ConfigResult::kMissingValue;
  };
  const bool drawer = device_class == DeviceClass::CashDrawer;
  if (link == LinkConfiguration::Network) {
    if (!ReadString(key, "IP", config.ip)) return fail("IP");
    if (!ReadTcpPort(key, config.tcp_port)) return fail("Port");
  } else if (!ReadString(key, "Port", config.port)) {
    return fail("Port");
  }
  config.output_buf = ReadNumber(key, "OutputBuf", 1024);
  config.input_sleep = ReadNumber(key, "InputSleep", 24);
  if (link == LinkConfiguration::Usb) ReadString(key, "SerialNumber", config.usb_serial);
  if (link == LinkConfiguration::Usb && drawer) {
    config.connector_pin = ReadNumber(key, "ConnectorPinNo", 0);
    config.open_level = ReadNumber(key, "OpenLevel", 1);
  }
  if (!ReadString(key, "DeviceName", config.device_name)) return fail("DeviceName");
  if (link == LinkConfiguration::Network && drawer) {
    config.connector_pin = ReadNumber(key, "ConnectorPinNo", 0);
    config.open_level = ReadNumber(key, "OpenLevel", 1);
  }
  return ConfigResult::kOk;
}

}  // namespace service_core
