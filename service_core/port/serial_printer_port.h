// The serial link: opens (or shares) a COM port, probes the printer, writes command bytes,
// reads answers, and keeps the printer's condition current from a monitor thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "printer_port.h"
#include "serial_device.h"

namespace service_core {

struct OpenPortEntry;

class SerialPrinterPort : public CPrinterPort {
 public:
  SerialPrinterPort();
  ~SerialPrinterPort() override;

  using CPrinterPort::OpenPort;
  int OpenPort(const PortSettings& settings) override;
  int ConnectPrinter(int timeout_ms) override;
  int WritePort(const uint8_t* bytes, size_t length) override;
  size_t ReadPort(uint8_t* buffer, size_t max) override;
  int GetPrinterStatus() override;
  int ProbePrinterStatus() override;
  void ClosePort() override;

  bool IsOwner() const override { return owner_; }
  uint64_t TransferMs(size_t bytes) const override;
  std::optional<SharedPrinter> SharingPrinter(bool take_brief_drawer_state = false) override;
  std::string LastError() const override;

 protected:
  void OnFastPoll() override { poll_now_.Set(); }

 private:
  friend struct OpenPortTable;

  int ProbeThermal();
  int ProbeDotMatrix();
  int DrawerLinkStatus();
  // A drawer link alone on a device that went away (the printer restarted, an adapter
  // replugged) opens the same path again. False while the device is still gone.
  bool ReopenGoneDeviceForDrawer();
  // The probe, or for a drawer link joining a connected printer, that printer's condition.
  int ProbeOrAskSharingPrinter();
  void MonitorLoop();
  void StopMonitor();
  // Sends a query, waits, and reads what came back; the number of bytes read.
  size_t Query(const uint8_t* bytes, size_t length, uint32_t wait_ms);

  std::shared_ptr<OpenPortEntry> entry_;
  bool owner_ = false;
  int claim_timeout_ms_ = 0;
  int baud_code_ = 6;

  std::atomic<bool> monitor_stop_{false};
  platform::Event monitor_wake_{true};
  platform::Event poll_now_{false};
  std::thread monitor_;

  // A drawer link is asked from its poll thread and from the application's thread; one
  // query at a time, so neither reads the other's answer or buffer.
  std::mutex query_mutex_;
  uint8_t read_buffer_[256] = {};
  size_t last_read_count_ = 0;
};

}  // namespace service_core
