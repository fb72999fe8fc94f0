// The link between a service object and the printer. One class per transport (serial,
// TCP, USB) stands behind these operations; each service-object library is linked with
// one of them and creates its links through NewPrinterPort(). The service objects never
// ask which transport they run on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "monitor_reads.h"
#include "port_user.h"
#include "status_block.h"

namespace service_core {

// Status results of the link.
inline constexpr int kPortReady = 0;
inline constexpr int kPortNoAnswer = 106;
inline constexpr int kPortCoverOpen = 201;
inline constexpr int kPortPaperEmpty = 203;

// Where the printer is, as configured. Each transport takes what it needs: the serial link
// the port name and line codes, the TCP link the address and TCP port, the USB link the
// serial number and a port naming a device path (the printer is found by its vendor and
// product numbers, and among several by these).
struct PortSettings {
  std::string port;
  int baud_code = 6;
  int parity_code = 0;
  int stop_code = 1;
  std::string address;
  int tcp_port = 9100;
  std::string usb_serial;
};

class CPrinterPort {
 public:
  CPrinterPort() = default;
  virtual ~CPrinterPort() = default;
  CPrinterPort(const CPrinterPort&) = delete;
  CPrinterPort& operator=(const CPrinterPort&) = delete;

  // The owning service object's configured DeviceName: "Thermal..." selects the thermal
  // protocol, "Standard..." marks a drawer link.
  void SetDeviceName(const std::string& name) { device_name_ = name; }
  const std::string& DeviceName() const { return device_name_; }
  bool IsThermal() const { return device_name_.rfind("Thermal", 0) == 0; }
  bool IsDrawerLink() const { return device_name_.rfind("Standard", 0) == 0; }

  void SetPrinter(PortUser* printer) { printer_ = printer; }
  void SetDrawer(PortUser* drawer) { drawer_ = drawer; }
  PortUser* Printer() const { return printer_; }
  PortUser* Drawer() const { return drawer_; }

  // 1 opened or joined the process's open device, 0 failed.
  virtual int OpenPort(const PortSettings& settings) = 0;
  // A claim's open: tried again every 100 ms (when `retry`) until more than `timeout_ms` have
  // passed since the first failure. True once open.
  bool OpenPortWithin(const PortSettings& settings, int32_t timeout_ms, bool retry);
  int OpenPort(const std::string& port_name, int baud_code, int parity_code, int stop_code) {
    return OpenPort(PortSettings{port_name, baud_code, parity_code, stop_code, {}, 9100, {}});
  }
  virtual int ConnectPrinter(int timeout_ms) = 0;
  virtual int WritePort(const uint8_t* bytes, size_t length) = 0;
  virtual size_t ReadPort(uint8_t* buffer, size_t max) = 0;
  virtual int GetPrinterStatus() = 0;
  virtual int ProbePrinterStatus() = 0;
  virtual void ClosePort() = 0;

  bool IsOpen() const { return open_; }
  bool IsConnected() const { return connected_; }
  bool CoverOpen() const { return (condition_ & kCoverOpenBit) != 0; }
  bool PaperEmpty() const { return (condition_ & kPaperEmptyBit) != 0; }
  bool Offline() const { return (condition_ & kOfflineBit) != 0; }
  bool RecentError() const { return recent_error_; }
  bool PowerLost() const { return power_lost_; }
  void ClearPowerLost() { power_lost_ = false; }
  int DrawerState() const { return drawer_state_; }
  // False when the last probe found a printer that answers no status query, so the drawer
  // cannot be sensed. The serial link always can.
  bool HasStatusCapability() const { return status_capability_; }
  // A drawer state seen only in between two monitor rounds (opened and closed again), or
  // -1; taking it clears it.
  int TakeBriefDrawerState() { return brief_drawer_state_.exchange(-1); }
  // Fast polling (every 50 ms) while the output worker waits for a completion answer;
  // switching it on starts a round at once instead of after the current 500 ms wait.
  void SetFastPoll(bool fast) {
    fast_poll_ = fast;
    if (fast) OnFastPoll();
  }
  virtual bool IsOwner() const { return false; }
  // Milliseconds the link needs to carry `bytes` to the printer: what limits how far the
  // output worker writes ahead. 0 for a link faster than any printer prints.
  virtual uint64_t TransferMs(size_t /*bytes*/) const { return 0; }

  // What a drawer link sees of the printer link that shares its device.
  struct SharedPrinter {
    bool connected = false;  // the printer's claim has connected (its monitor runs)
    bool thermal = true;     // the printer's model
    bool status_capability = true;  // the printer answered the status queries of its probe
    bool output_pending = false;
    uint64_t last_output_ms = 0;
    bool recent_error = false;
    int condition = 0;  // the printer link's GetPrinterStatus, without its side effects
    int drawer_state = 0;  // 1 while the pin-3 bit is clear, as the monitor last saw it
    int brief_drawer_state = -1;  // see TakeBriefDrawerState; taken only when asked
  };
  // The printer sharing this link's device, read under the sharing lock (so that printer
  // cannot go away meanwhile); nothing when no printer link shares it.
  virtual std::optional<SharedPrinter> SharingPrinter(bool take_brief_drawer_state = false) = 0;
  // Where the printer's byte stream stands, for a link that can lose the printer and find it
  // again (TCP, USB): every byte any link of the device sent counts, over the life of the
  // process. `Losses` counts the connections lost (or devices unplugged); `ReachedAtLoss` is
  // how far the stream had reached the printer when the last one was lost: TCP the bytes
  // the printer acknowledged, USB the bytes the device took. Links that never lose the
  // printer this way report 0 losses.
  struct StreamPosition {
    uint64_t sent = 0;
    uint64_t losses = 0;
    uint64_t reached_at_loss = 0;
  };
  virtual StreamPosition Position() const { return {}; }
  // WritePort that also tells where in that stream the bytes begin, so that after a loss
  // the writer knows how much of them reached the printer (see reached_at_loss).
  virtual int WritePortAt(const uint8_t* bytes, size_t length, uint64_t& stream_start) {
    stream_start = Position().sent;
    return WritePort(bytes, length);
  }
  // The last operating-system error seen by this link, for logs.
  virtual std::string LastError() const { return {}; }

 protected:
  virtual void OnFastPoll() {}
  // The printer's condition is one value, so that a thread never reads half of a change (the
  // cover of the old condition with the offline mark of the new one, say, which would be a
  // printer without power). Each setter changes its part at once.
  void SetCondition(bool cover_open, bool paper_empty, bool offline);
  void SetCoverOpen(bool open) { SetConditionBit(kCoverOpenBit, open); }
  void SetPaperEmpty(bool empty) { SetConditionBit(kPaperEmptyBit, empty); }
  void SetOffline(bool offline) { SetConditionBit(kOfflineBit, offline); }
  // The link status the condition stands for: cover open before paper empty before offline.
  int ConditionStatus() const;
  // A printer link's status from the flags its monitor keeps: cover open, paper empty,
  // offline, each also marking a recent error. A printer that just recovered gets half a
  // second before it is reported ready.
  int StatusFromFlags();
  // A drawer link's status from the printer's answer to DLE EOT 1: the drawer state from
  // pin 3 through the drawer's OpenLevel, and 106 (recent error) while the printer is
  // offline. A printer that just recovered gets half a second before it is reported ready.
  int StatusFromDrawerAnswer(uint8_t answer);
  // One monitor round: each answer goes to the printer once the status block sent before it
  // has set the condition, the newest block sets the condition and the drawer state, and the
  // start of an unfinished block is carried over.
  void ApplyMonitorRound(MonitorReads& reads, BlockLayout layout);

  std::string device_name_;
  // Changed by the links that share the device, read by threads.
  std::atomic<PortUser*> printer_{nullptr};
  std::atomic<PortUser*> drawer_{nullptr};

  std::atomic<bool> open_{false};
  std::atomic<bool> connected_{false};
  static constexpr uint8_t kCoverOpenBit = 1, kPaperEmptyBit = 2, kOfflineBit = 4;
  std::atomic<uint8_t> condition_{0};
  std::atomic<bool> recent_error_{false};
  std::atomic<bool> power_lost_{false};
  std::atomic<bool> status_capability_{true};
  std::atomic<int> drawer_state_{0};
  std::atomic<int> brief_drawer_state_{-1};
  std::atomic<bool> fast_poll_{false};

 private:
  void SetConditionBit(uint8_t bit, bool set) {
    if (set)
      condition_.fetch_or(bit);
    else
      condition_.fetch_and(static_cast<uint8_t>(~bit));
  }
};

// A new, closed link of the transport this library was built with.
std::unique_ptr<CPrinterPort> NewPrinterPort();

}  // namespace service_core
