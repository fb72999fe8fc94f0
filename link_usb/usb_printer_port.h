// The USB build's link: every link of the process shares the one open USB printer device.
// A failed write or a broken read closes it, and a reconnect thread opens it again when
// the printer is back.
#pragma once

#include "stream_printer_port.h"
#include "usb_printer_device.h"

namespace service_core {

class UsbPrinterPort : public StreamPrinterPort {
 public:
  UsbPrinterPort();
  ~UsbPrinterPort() override;

  using CPrinterPort::OpenPort;
  // The printer is found by its vendor and product numbers; the entry's serial number, or a
  // port naming a device path, picks one among several.
  int OpenPort(const PortSettings& settings) override;
  void ClosePort() override;
  std::string LastError() const override;
  std::optional<SharedPrinter> SharingPrinter(bool take_brief_drawer_state = false) override;

  // The reconnect thread opened the device again (called with the device's mutex held).
  void DeviceReturned() { PrinterCameBack(); }
  StreamPosition Position() const override {
    return {device_.Sent(), device_.Losses(), device_.ReachedAtLoss()};
  }

 protected:
  bool SendBytes(const uint8_t* bytes, size_t length, uint64_t* stream_start) override;
  long ReceiveBytes(uint8_t* buffer, size_t max, int timeout_ms) override;
  bool DevicePresent() const override { return device_.Present(); }
  void OnLost() override {
    ForgetImages();
    device_.Lost();
  }
  void OnWriteFailed() override { ForgetImages(); }
  void MarkClaimed() override;

 private:
  // A printer that failed a write or went away may come back without the images downloaded
  // to it. They are given up at once, before the search can find the device again: a print
  // made the moment it is back then downloads them first.
  void ForgetImages() {
    if (PortUser* printer = printer_) printer->OnPrinterPowerLost();
  }

  UsbPrinterDevice& device_;
};

}  // namespace service_core
