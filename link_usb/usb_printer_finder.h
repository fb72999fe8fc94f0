// Finding the printer among the kernel's USB printer class devices: each sysfs entry
// class/usbmisc/lpN leads to its USB device, whose idVendor and idProduct must match; the
// device node is then usb/lpN under the device root. Among several identical printers a
// device entry picks one by its USB serial number (the device's `serial` attribute) or by
// the path of its node (a stable name such as /dev/opos/printer-<serial> leads to it). OPOS_USB_SYSFS_ROOT and
// OPOS_USB_DEV_ROOT replace /sys and /dev (tests present a fake printer there).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace service_core {

inline constexpr uint16_t kPrinterVendorId = 0x0525;
inline constexpr uint16_t kPrinterProductId = 0xa700;

// Which printer an entry means; empty fields match any.
struct UsbPrinterChoice {
  std::string serial;
  std::string path;
  bool Any() const { return serial.empty() && path.empty(); }
  bool operator==(const UsbPrinterChoice&) const = default;
};

struct UsbPrinterNode {
  std::string node;
  std::string serial;  // empty when the device has none
};

std::string UsbSysfsRoot();
std::string UsbDevRoot();

// The device nodes of the matching printers, in the order of their lpN names
// (lp2 before lp10). Empty when there is none.
std::vector<std::string> FindUsbPrinterNodes(uint16_t vendor = kPrinterVendorId,
                                             uint16_t product = kPrinterProductId);
// The matching printers with their serial numbers, in the same order.
std::vector<UsbPrinterNode> FindUsbPrinters(uint16_t vendor = kPrinterVendorId,
                                            uint16_t product = kPrinterProductId);
// True when `printer` is the one `choice` means: the same serial number, and a path that
// leads to the same device file (symbolic links followed).
bool ChoiceMatches(const UsbPrinterChoice& choice, const UsbPrinterNode& printer);

}  // namespace service_core
