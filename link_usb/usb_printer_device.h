// The one open USB printer device of the process, shared by every link, and the thread
// that finds it again after it was unplugged.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "usb_printer_finder.h"

namespace service_core {

class UsbPrinterPort;

class UsbPrinterDevice {
 public:
  static UsbPrinterDevice& Process();

  // Which printer the first link of the process asked for; searches look for that one.
  void Choose(const UsbPrinterChoice& choice);
  // True when a link asking for `choice` may share the process's device: it asks for any
  // printer, for the same one, or for the one that is open.
  bool Serves(const UsbPrinterChoice& choice);
  // Finds the chosen printer and opens its node: true when it is open (also when it already
  // was).
  bool Open();
  bool Present() const { return fd_.load() >= 0; }

  // Writes in 64-byte chunks; a chunk the device has not taken within 500 ms fails the
  // write. False also while the device is gone. `stream_start`, when given, is where in
  // the stream of bytes taken (Sent()) they begin.
  bool Write(const uint8_t* bytes, size_t length, uint64_t* stream_start = nullptr);
  // Waits at most `timeout_ms` for bytes and reads up to `max`. -1 when the device is gone.
  long Read(uint8_t* buffer, size_t max, int timeout_ms);
  // A failed write or read closes the device it failed on, inside the same lock, so that a
  // device opened again meanwhile is never closed by a late failure; then it is looked for
  // every 500 ms until it is back or the last link closes.

  // Makes sure the device is being looked for while it is gone; nothing while it is present.
  void Lost();
  // The last link closed: stops looking for the device and closes it.
  void Shutdown();

  std::string LastError() const;

  // Bytes the device took so far, the times it was lost, and how many bytes it had taken
  // when it was last lost (see CPrinterPort::Position). A USB write returns only once the
  // printer has the bytes, so every byte taken reached it.
  uint64_t Sent() const { return sent_; }
  uint64_t Losses() const { return losses_; }
  uint64_t ReachedAtLoss() const { return reached_at_loss_; }

  // Guards the sharing bookkeeping below; held only for short updates.
  std::mutex mutex;
  int open_links = 0;
  bool printer_claimed = false;
  bool drawer_claimed = false;
  UsbPrinterPort* printer_link = nullptr;
  UsbPrinterPort* drawer_link = nullptr;

 private:
  UsbPrinterDevice() = default;
  // A process that ends with the printer still unplugged stops looking for it.
  ~UsbPrinterDevice() { Shutdown(); }
  bool OpenNode();
  void CloseNode();
  // Write's work with io_mutex_ held; a failure closes the device it failed on.
  bool WriteChunks(const uint8_t* bytes, size_t length);
  void ReconnectLoop();
  // True when the reconnect thread may end: the device is open again or the last link
  // closed. Decided under looking_mutex_ so that a loss right after it starts a new search.
  bool DoneLooking();
  void Fail(const std::string& what);

  std::atomic<int> fd_{-1};
  std::atomic<uint64_t> sent_{0};
  std::atomic<uint64_t> losses_{0};
  std::atomic<uint64_t> reached_at_loss_{0};
  UsbPrinterChoice wanted_;      // guarded by io_mutex_
  UsbPrinterNode open_printer_;  // guarded by io_mutex_; valid while fd_ >= 0
  std::mutex io_mutex_;        // one write or read at a time; also guards opening and closing
  std::mutex reconnect_mutex_;  // guards the reconnect thread's start and stop
  std::thread reconnect_;
  std::atomic<bool> reconnect_stop_{false};
  std::mutex looking_mutex_;  // guards looking_ against the search ending meanwhile
  bool looking_ = false;
  platform::Event reconnect_wake_{true};
  mutable std::mutex error_mutex_;
  std::string last_error_;
};

}  // namespace service_core
