// Finds the device entry of a device class in the registry store: the logical name first,
// then the device key, whose default value names the service object's ProgID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// One device entry of the registry store, as a program offering the devices lists it.
struct DeviceListing {
  std::string class_name;  // "POSPrinter", "CashDrawer" or "LineDisplay"
  std::string key_name;    // the device key; Open() accepts it
  std::string prog_id;     // empty when the key has no default value
  std::vector<std::string> logical_names;  // the logical names that point at this key
};

// Every device key of the three device classes, per class in the store's key order, with
// the logical names of its class that name it. Returns 0, or OPOS_E_NOEXIST (109) when the
// store cannot be read (then `problem`, when given, says why); a class without a key adds
// nothing.
int32_t ListDeviceEntries(std::vector<DeviceListing>& entries, std::string* problem = nullptr);

// "Software\OLEforRetail\ServiceOPOS\<class>" under HKEY_LOCAL_MACHINE.
std::string ClassKeyPath(std::string_view class_name);

}  // namespace opos::control
