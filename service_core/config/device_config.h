// Reading a device's settings from its entry in the OPOS part of the registry.
#pragma once

#include <string>

namespace service_core {

enum class DeviceClass { POSPrinter, CashDrawer, LineDisplay };

// "Software\OLEforRetail\ServiceOPOS\<class>": holds the logical names and the device keys.
std::string ClassKeyPath(DeviceClass device_class);

// The device key for `device_name`: a non-empty string value of that name under the class
// key names the device key (a logical name); otherwise the name is the key itself.
std::string DeviceKeyPath(DeviceClass device_class, const std::string& device_name);

// The serial settings of a printer or drawer entry. Required values that are absent read
// as -1 (numbers) or leave `*_present` false (strings).
struct SerialConfiguration {
  int baudrate = -1;
  int bit_length = -1;
  int handshake = -1;
  int parity = -1;
  int stop = -1;
  int xon_xoff = -1;
  std::string port;
  int input_buf = 1024;
  int output_buf = 1024;
  int input_sleep = 24;
  int connector_pin = 0;  // drawer only
  int open_level = 1;     // drawer only
  std::string device_name;
};

enum class ConfigResult { kOk, kNoDeviceKey, kMissingValue };

// Reads the values in their documented order and stops at the first required one that is
// missing; `missing` names it.
ConfigResult ReadSerialConfiguration(DeviceClass device_class, const std::string& device_name,
                                     SerialConfiguration& config, std::string* missing = nullptr);

}  // namespace service_core
