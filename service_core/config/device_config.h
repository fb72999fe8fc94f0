// Reading a device's settings from its entry in the OPOS part of the registry.
#pragma once

#include <string>

namespace service_core {

enum class DeviceClass { POSPrinter, CashDrawer, LineDisplay };

// Which values a printer or drawer entry holds for its link: the serial line settings, an
// IP address and TCP port (network build), or a port name only (USB build).
enum class LinkConfiguration { Serial, Network, Usb };

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
  std::string ip;         // network build
  int tcp_port = 9100;    // network build
  std::string usb_serial;  // USB build: the printer's serial number; empty: the first printer
};

enum class ConfigResult { kOk, kNoDeviceKey, kMissingValue };

// Reads the values in their documented order and stops at the first required one that is
// missing; `missing` names it.
ConfigResult ReadSerialConfiguration(DeviceClass device_class, const std::string& device_name,
                                     SerialConfiguration& config, std::string* missing = nullptr);

// The values of a printer or drawer entry for the given kind of link. Network entries:
// `IP` (required), `Port` (a number, or text naming one as the setup utility writes it;
// 9100 when absent; anything else is reported missing), `OutputBuf`, `InputSleep`,
// `DeviceName`, drawer `ConnectorPinNo` and `OpenLevel`. USB entries: `Port` (required;
// a path beginning with "/" names the printer's device node, such as its stable
// /dev/opos/printer-<serial> name), optional `SerialNumber`, `OutputBuf`, `InputSleep`, drawer
// values, `DeviceName`.
ConfigResult ReadDeviceConfiguration(DeviceClass device_class, const std::string& device_name,
                                     LinkConfiguration link, SerialConfiguration& config,
                                     std::string* missing = nullptr);

// A TCP port from a registry value's text: decimal digits naming 1 to 65535, surrounding
// blanks allowed. -1 for anything else.
int ParseTcpPort(const std::string& text);

}  // namespace service_core
