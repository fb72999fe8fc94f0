// The printer link over a byte stream without modem lines: the TCP connection of the
// network build and the USB printer device of the USB build. Probing, status, the drawer
// query and the monitor are the same for both; the transport and what happens when the
// printer is lost are each link's own.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/event.h"
#include "printer_port.h"

namespace service_core {

class StreamPrinterPort : public CPrinterPort {
 public:
  struct Traits {
    uint32_t probe_budget_ms;  // how long ProbePrinterStatus asks before it gives up
    int read_timeout_ms;       // how long one ReadPort waits for bytes
    bool message_boxes;        // tell the user about a printer that is not ready
  };

  int ConnectPrinter(int timeout_ms) override;
  int WritePort(const uint8_t* bytes, size_t length) override;
  int WritePortAt(const uint8_t* bytes, size_t length, uint64_t& stream_start) override;
  size_t ReadPort(uint8_t* buffer, size_t max) override;
  int GetPrinterStatus() override;
  int ProbePrinterStatus() override;

 protected:
  explicit StreamPrinterPort(Traits traits) : traits_(traits) {}

  // The transport. Send: all bytes or false; `stream_start`, when given, tells where in the
  // byte stream (see Position) they begin. Receive: bytes read, 0 when none came within
  // `timeout_ms`, -1 when the connection or the device is gone.
  virtual bool SendBytes(const uint8_t* bytes, size_t length, uint64_t* stream_start) = 0;
  bool SendBytes(const uint8_t* bytes, size_t length) { return SendBytes(bytes, length, nullptr); }
  virtual long ReceiveBytes(uint8_t* buffer, size_t max, int timeout_ms) = 0;
  // False while the device is gone and being looked for.
  virtual bool DevicePresent() const { return true; }
  // The monitor lost the printer (a failed send or a broken receive). Returns when the
  // monitor may go on: reconnected, handed to a reconnecting thread, or stopping.
  virtual void OnLost() = 0;
  // A write for the service object failed.
  virtual void OnWriteFailed() {}
  // A drawer link's query found the connection or the device gone. A drawer without a
  // printer link beside it has no monitor to bring the link back, so it does here, one
  // attempt per query. True when the link is usable again.
  virtual bool RestoreForDrawer() { return DevicePresent(); }
  // Marks the link's kind as claimed in the process.
  virtual void MarkClaimed() = 0;

  // The printer is back after it was lost: images downloaded to it are gone, and automatic
  // status back is switched on again by the next monitor round.
  void PrinterCameBack();
  void StopMonitor();
  bool MonitorStopping() const { return monitor_stop_; }
  // Sleeps up to `ms`; true when the monitor was told to stop meanwhile.
  bool MonitorSleep(uint32_t ms);
  void ShowMessage(const char* text, const char* caption) const;
  // What a drawer link sees of `printer`; called with the link's sharing lock held.
  static SharedPrinter ViewOf(StreamPrinterPort& printer, bool take_brief_drawer_state);

 private:
  void OnFastPoll() override { poll_now_.Set(); }
  void StartMonitor();
  void MonitorLoop();
  int DrawerLinkStatus();
  long Query(const uint8_t* bytes, size_t length, uint32_t wait_ms);

  Traits traits_;
  std::atomic<bool> monitor_stop_{false};
  platform::Event monitor_wake_{true};
  platform::Event poll_now_{false};
  std::thread monitor_;
  std::atomic<bool> drawer_query_failing_{false};
  bool query_lost_ = false;  // the last query's send failed or its receive found no link

  // Queries from the application's thread and a drawer's poll thread take turns on the
  // buffer their answers are read into.
  std::mutex query_mutex_;
  uint8_t read_buffer_[256] = {};
  long last_read_count_ = 0;
};

}  // namespace service_core
