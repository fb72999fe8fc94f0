// The serial link between a service object and the printer: opens (or shares) the port,
// probes the printer, writes command bytes, reads answers, and keeps the printer's
// condition current from a monitor thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/event.h"
#include "port_user.h"
#include "printer_answers.h"
#include "serial_device.h"

namespace service_core {

struct OpenPortEntry;

// Status results of the link.
inline constexpr int kPortReady = 0;
inline constexpr int kPortNoAnswer = 106;
inline constexpr int kPortCoverOpen = 201;
inline constexpr int kPortPaperEmpty = 203;

class CPrinterPort {
 public:
  CPrinterPort();
  ~CPrinterPort();
  CPrinterPort(const CPrinterPort&) = delete;
  CPrinterPort& operator=(const CPrinterPort&) = delete;

  // The owning service object's configured DeviceName: "Thermal..." selects the thermal
  // protocol, "Standard..." marks a drawer link.
  void SetDeviceName(const std::string& name) { device_name_ = name; }
  const std::string& DeviceName() const { return device_name_; }
  bool IsThermal() const;
  bool IsDrawerLink() const;

  void SetPrinter(PortUser* printer) { printer_ = printer; }
  void SetDrawer(PortUser* drawer) { drawer_ = drawer; }
  PortUser* Printer() const { return printer_; }
  PortUser* Drawer() const { return drawer_; }

  int OpenPort(const std::string& port_name, int baud_code, int parity_code, int stop_code);
  int ConnectPrinter(int timeout_ms);
  int WritePort(const uint8_t* bytes, size_t length);
  size_t ReadPort(uint8_t* buffer, size_t max);
  int GetPrinterStatus();
  int ProbePrinterStatus();
  void ClosePort();

  bool IsOpen() const { return open_; }
  bool IsConnected() const { return connected_; }
  bool CoverOpen() const { return cover_open_; }
  bool PaperEmpty() const { return paper_empty_; }
  bool Offline() const { return offline_; }
  bool RecentError() const { return recent_error_; }
  bool PowerLost() const { return power_lost_; }
  void ClearPowerLost() { power_lost_ = false; }
  int DrawerState() const { return drawer_state_; }
  // A drawer state seen only in between two monitor rounds (opened and closed again), or
  // -1; taking it clears it.
  int TakeBriefDrawerState();
  // Fast polling (every 50 ms) while the output worker waits for a completion answer;
  // switching it on starts a round at once instead of after the current 500 ms wait.
  void SetFastPoll(bool fast) {
    fast_poll_ = fast;
    if (fast) poll_now_.Set();
  }
  bool IsOwner() const { return owner_; }
  // The last operating-system error seen by this link, for logs.
  std::string LastError() const;

 private:
  friend struct OpenPortTable;

  int ProbeThermal();
  int ProbeDotMatrix();
  int DrawerLinkStatus();
  void MonitorLoop();
  void StopMonitor();
  // Sends a query, waits, and reads what came back; the number of bytes read.
  size_t Query(const uint8_t* bytes, size_t length, uint32_t wait_ms);

  std::string device_name_;
  // Changed by the links that share the port (under the table's mutex), read by threads.
  std::atomic<PortUser*> printer_{nullptr};
  std::atomic<PortUser*> drawer_{nullptr};

  std::shared_ptr<OpenPortEntry> entry_;
  std::atomic<bool> open_{false};
  bool owner_ = false;
  int claim_timeout_ms_ = 0;

  std::atomic<bool> connected_{false};
  std::atomic<bool> cover_open_{false};
  std::atomic<bool> paper_empty_{false};
  std::atomic<bool> offline_{false};
  std::atomic<bool> recent_error_{false};
  std::atomic<bool> power_lost_{false};
  std::atomic<int> drawer_state_{0};
  std::atomic<int> brief_drawer_state_{-1};
  std::atomic<bool> fast_poll_{false};

  std::atomic<bool> monitor_stop_{false};
  platform::Event monitor_wake_{true};
  platform::Event poll_now_{false};
  std::thread monitor_;

  uint8_t read_buffer_[256] = {};
  size_t last_read_count_ = 0;
};

}  // namespace service_core
