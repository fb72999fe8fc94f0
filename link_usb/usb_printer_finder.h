// Finding the printer among the kernel's USB printer class devices: each sysfs entry
// class/usbmisc/lpN leads to its USB device, whose idVendor and idProduct must match; the
// device node is then usb/lpN under the device root. OPOS_USB_SYSFS_ROOT and
// OPOS_USB_DEV_ROOT replace /sys and /dev (tests present a fake printer there).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace service_core {

inline constexpr uint16_t kPrinterVendorId = 0x0525;
inline constexpr uint16_t kPrinterProductId = 0xa700;

std::string UsbSysfsRoot();
std::string UsbDevRoot();

// The device nodes of the matching printers, in the order of their lpN names
// (lp2 before lp10). Empty when there is none.
std::vector<std::string> FindUsbPrinterNodes(uint16_t vendor = kPrinterVendorId,
                                             uint16_t product = kPrinterProductId);

}  // namespace service_core
