// The display's settings, read from its device entry under
// "SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay" at OpenService.
#pragma once

#include <string>

namespace line_display {

struct DisplayConfiguration {
  int bit_length = -1;  // kept, not used: the link always uses 8 data bits
  int handshake = -1;   // kept, not used
  int parity = -1;
  int stop = -1;
  int xon_xoff = -1;  // kept, not used
  std::string port;
  std::string device_name;
  int baudrate = 6;  // 9600 when absent
};

enum class DisplayConfigResult { kOk, kNoDeviceKey, kMissingValue };

// Reads BitLength, HandShake, Parity, Stop, XonXoff, Port and DeviceName (each required)
// and then Baudrate; `missing` names the first required value that is absent.
DisplayConfigResult ReadDisplayConfiguration(const std::string& device_name,
                                             DisplayConfiguration& config,
                                             std::string* missing = nullptr);

// The model the driver is written for: window 0, and a pause after each scroll.
bool IsStandardModel(const std::string& device_name);

}  // namespace line_display
