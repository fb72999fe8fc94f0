// Builds and removes the sysfs entries of one fake USB printer, laid out as the kernel's
// USB printer class driver presents a real one:
//   sys/class/usbmisc/lpN -> ../../devices/pci0000:00/0000:00:14.0/usb1/1-P/1-P:1.0/usbmisc/lpN
//   sys/bus/usb/devices/1-P -> ../../../devices/pci0000:00/0000:00:14.0/usb1/1-P
//   .../usb1/1-P/{idVendor,idProduct,manufacturer,product,serial,busnum,devnum,uevent}
//   .../1-P:1.0/{bInterfaceClass,bInterfaceSubClass,bInterfaceProtocol}
//   .../1-P:1.0/usbmisc/lpN/{dev,uevent} and device -> ../../../1-P:1.0
#pragma once

#include <string>

#include "virtual_devices/usb_attachment.h"

namespace vdev {

bool CreateFakeUsbTree(const UsbOptions& options, std::string& error);
void RemoveFakeUsbTree(const UsbOptions& options);
std::string FakeUsbDeviceDirectory(const UsbOptions& options);

}  // namespace vdev
