#include "virtual_devices/usb_attachment.h"

#include "fake_usb_tree.h"
#include "virtual_devices/pty_attachment.h"

namespace vdev {

UsbAttachment::UsbAttachment(DeviceModel& model, UsbOptions options)
    : Attachment(model), options_(std::move(options)) {
  node_ = std::make_unique<PtyAttachment>(model, NodePath(), /*publish_lines=*/false);
}

UsbAttachment::~UsbAttachment() { Stop(); }

std::string UsbAttachment::NodePath() const {
  return DevRoot() + "/usb/lp" + std::to_string(options_.index);
}

std::string UsbAttachment::DeviceDirectory() const { return FakeUsbDeviceDirectory(options_); }

std::string UsbAttachment::Where() const {
  return "usb " + NodePath() + " OPOS_USB_SYSFS_ROOT=" + SysfsRoot() +
         " OPOS_USB_DEV_ROOT=" + DevRoot();
}

bool UsbAttachment::Plug(std::string& error) {
  if (plugged_) return true;
  if (!CreateFakeUsbTree(options_, error)) return false;
  if (!node_->Start(error)) {
    RemoveFakeUsbTree(options_);
    return false;
  }
  plugged_ = true;
  return true;
}

void UsbAttachment::Unplug() {
  if (!plugged_) return;
  node_->DeliverWrittenAndHangUp();
  node_->Stop();  // closes the pseudo-terminal: the host's descriptor fails from now on
  RemoveFakeUsbTree(options_);
  plugged_ = false;
}

bool UsbAttachment::Start(std::string& error) {
  if (started_) return true;
  if (options_.root.empty()) return error = "no root directory given for the USB printer", false;
  if (options_.index < 0 || options_.index > 99)
    return error = "USB printer index out of range", false;
  if (!Plug(error)) return false;
  started_ = true;
  return true;
}

void UsbAttachment::Stop() {
  if (!started_) return;
  Unplug();
  started_ = false;
}

bool UsbAttachment::TransportCommand(const std::vector<std::string>& words, bool& ok,
                                     std::string& reply) {
  if (words.size() == 1 && (words[0] == "disconnect" || words[0] == "connect")) {
    ok = true;
    if (!started_) return true;
    if (words[0] == "disconnect") {
      Unplug();
    } else {
      ok = Plug(reply);
    }
    return true;
  }
  if (words[0] == "slow" || words[0] == "split" || words[0] == "baud") {
    std::string line;
    for (const auto& w : words) line += (line.empty() ? "" : " ") + w;
    ok = node_->Command(line, reply);
    return true;
  }
  if (words[0] == "refuse") {
    ok = false;
    reply = "refuse: only a TCP attachment refuses connections";
    return true;
  }
  return false;
}

}  // namespace vdev
