// Turning a configured port name into a device path and an identity for the open-port table.
#pragma once

#include <cstdint>
#include <string>

namespace service_core {

struct ResolvedPort {
  std::string path;
  int number = 0;  // 1..99 for a COM name, 0 for a path
};

// "COM1".."COM9" and "COM10".."COM99" are looked up in the port map (string values named
// after the port under HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\PortMap) and otherwise
// become /dev/ttyS<n-1>; any other name is used as a path.
ResolvedPort ResolvePortName(const std::string& name);

// The device a path leads to, following symbolic links: two names of one device give the
// same identity. Empty when the path does not exist.
std::string DeviceIdentity(const std::string& path);

}  // namespace service_core
