// Finds the device entry of a device class in the registry store: the logical name first,
// then the device key, whose default value names the service object's ProgID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace opos::control {

struct DeviceEntry {
  std::string key_name;  // the device key under the class key
  std::string prog_id;   // empty when the key has no default value
};

// Returns 0, or OPOS_E_NOEXIST (109) when neither a logical name nor a device key of that
// name exists (names that are empty or contain a backslash never match), or when the
// registry store cannot be read; then `problem` (when given) says why.
int32_t FindDeviceEntry(std::string_view class_name, std::string_view device_name,
                        DeviceEntry& entry, std::string* problem = nullptr);

// "Software\OLEforRetail\ServiceOPOS\<class>" under HKEY_LOCAL_MACHINE.
std::string ClassKeyPath(std::string_view class_name);

}  // namespace opos::control
