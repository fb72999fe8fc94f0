// The virtual receipt printer with its cash drawer: an ESC/POS command interpreter and the
// device state (cover, paper, power, online, drawer) behind one DeviceModel. It answers
// real-time status queries, automatic status back and process-identifier requests the way
// the hardware does, keeps ordinary data in a receive buffer while offline, and hands what
// it prints to a PrintSink as PrintOps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "virtual_devices/device_model.h"
#include "virtual_devices/print_ops.h"

namespace vdev {

// The interface the printer is attached through; it decides how cover open and paper end
// appear in the automatic status back block.
enum class PrinterLink { Serial, Network, Usb };

// The level of the drawer kick connector's pin 3 while the drawer is open.
enum class Pin3Level { Low, High };

struct PrinterConfig {
  PrinterKind kind = PrinterKind::Thermal;
  int columns = 42;  // thermal: 42 or 56; dot-matrix is always 33
  PrinterLink link = PrinterLink::Serial;
  Pin3Level pin3_when_open = Pin3Level::Low;
  size_t receive_buffer_bytes = 4096;  // ordinary data kept while offline
  bool cr_is_line_end = false;         // auto line feed on CR (off, like the device default)
  size_t nv_memory_bytes = 256 * 1024;  // NV image memory: a larger FS q is ignored
  std::string capture_path;            // optional: raw copy of every byte received
  std::string log_path;                // optional: decoded log, one command a line
};

// What a test or a person can see of the printer at a moment.
struct PrinterStatus {
  bool power = true;
  bool cover_open = false;
  bool paper_out = false;
  bool switched_offline = false;  // "offline" command (the device's online switch)
  bool drawer_open = false;
  bool pin3_high = false;  // the level the drawer puts on pin 3 now
  bool answering = true;   // false after "answers off"
  bool asb_enabled = false;
  uint8_t asb_mask = 0;  // GS a n
  bool page_mode = false;
  size_t buffered_bytes = 0;  // ordinary data waiting for the printer to come online
  uint64_t lost_bytes = 0;    // dropped: receive buffer full, or received while off
  uint64_t receipts = 0;      // cuts
  uint64_t lines = 0;         // text lines printed
  bool online() const { return power && !cover_open && !paper_out && !switched_offline; }
};

class VirtualPrinter : public DeviceModel {
 public:
  // `sink` (may be null) receives every print operation; it must outlive the printer.
  explicit VirtualPrinter(PrinterConfig config = {}, PrintSink* sink = nullptr);
  ~VirtualPrinter() override;
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  // DeviceModel. Answers, print operations and modem-line changes are delivered in order,
  // outside the model's lock, before Receive() or a state change returns (unless another
  // thread is delivering at that moment, in which case that thread delivers them).
  void Receive(std::span<const uint8_t> bytes) override;
  void SetAnswerSink(AnswerSink sink) override;
  ModemLines Lines() const override;
  void SetLinesChanged(std::function<void(ModemLines)> callback) override;
  // "cover open|close", "paper out|in", "power off|on", "offline", "online",
  // "drawer open|close", "pin3 high-open|low-open", "answers off|on", "status", "firmware".
  bool Command(const std::string& line, std::string& reply) override;

  // State changes, thread-safe. Each change emits an automatic status back block when
  // that is enabled.
  void SetCoverOpen(bool open);
  void SetPaperOut(bool out);
  void SetPower(bool on);  // off: silent, bytes lost, CTS low; on: reset, nothing sent
  void SetOffline(bool offline);
  void SetDrawerOpen(bool open);  // a person closing (or forcing open) the drawer
  void SetPin3OpenLevel(Pin3Level level);
  void SetAnswering(bool answering);
  // Returns once no operation is being handed to the previous sink on another thread, so
  // the caller may destroy it. Not to be called from a sink.
  void SetPrintSink(PrintSink* sink);

  PrinterStatus Status() const;
  // The firmware image last uploaded: "firmware: none" or "firmware: N bytes crc32 X, uploads M".
  std::string FirmwareSummary() const;
  PrinterConfig Config() const;
  PaperGeometry Geometry() const;

  // Every byte handed to Receive(), in order.
  std::vector<uint8_t> Capture() const;
  // The decoded log: one command a line, e.g. "1B 21 08  ESC ! 8  select print mode".
  std::string DecodedLog() const;

  // The end of the session: tells the print sink to close an uncut receipt.
  void Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vdev
