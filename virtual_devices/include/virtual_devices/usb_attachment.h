// Attaches a model as a fake USB printer under a root directory: a sysfs-like tree where the
// printer is found by vendor and product number, and a device node ROOT/dev/usb/lpN (a
// symbolic link to a raw pseudo-terminal slave) that carries bytes both ways. A host finds the
// roots through OPOS_USB_SYSFS_ROOT=ROOT/sys and OPOS_USB_DEV_ROOT=ROOT/dev.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "virtual_devices/attachment.h"

namespace vdev {

class PtyAttachment;

struct UsbOptions {
  std::string root;  // created when missing
  uint16_t vendor = 0x0525;
  uint16_t product = 0xa700;
  int index = 0;  // lpN, also the N-th port of the fake hub, so several printers can coexist
  std::string manufacturer = "Tandor";
  std::string product_name = "ZR-100";
  std::string serial = "VP000001";
};

class UsbAttachment : public Attachment {
 public:
  UsbAttachment(DeviceModel& model, UsbOptions options);
  ~UsbAttachment() override;

  bool Start(std::string& error) override;
  void Stop() override;
  // "usb <node> OPOS_USB_SYSFS_ROOT=<root>/sys OPOS_USB_DEV_ROOT=<root>/dev"
  std::string Where() const override;

  std::string SysfsRoot() const { return options_.root + "/sys"; }
  std::string DevRoot() const { return options_.root + "/dev"; }
  std::string NodePath() const;         // ROOT/dev/usb/lpN
  std::string DeviceDirectory() const;  // the USB device in the sysfs tree
  bool Plugged() const { return plugged_; }

 protected:
  // "disconnect": unplug (the node and the sysfs entry go away; a host's open descriptor fails
  // from now on). "connect": plug in again (a new node). "slow N" and "split N MS" apply to
  // the node.
  bool TransportCommand(const std::vector<std::string>& words, bool& ok,
                        std::string& reply) override;
  void IoLoop() override {}

 private:
  bool Plug(std::string& error);
  void Unplug();

  UsbOptions options_;
  std::unique_ptr<PtyAttachment> node_;
  bool started_ = false;
  bool plugged_ = false;
};

}  // namespace vdev
