// A serial device file driven through termios: the operating-system side of the serial
// link. Every call returns a plain result and keeps errno's text for whoever asks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace service_core {

struct ModemStatus {
  bool cts = true, dsr = true, dcd = true, ri = false;
};

struct LineSettings {
  int baud_code = 6;    // 3 = 1200 ... 10 = 115200
  int parity_code = 0;  // 0 none, 1 even, 2 odd
  int stop_code = 1;    // 1 or 2 stop bits
};

class SerialDevice {
 public:
  SerialDevice() = default;
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Opens `path` exclusively (no other process may use it while we hold it) and applies
  // the settings: 8 data bits, raw, no flow control, DTR and RTS on. Invalid codes fail.
  bool Open(const std::string& path, const LineSettings& settings);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The device went away under us: it hung up, or its node is gone or is another device
  // now (a USB-serial adapter unplugged, a virtual device stopped).
  bool Gone() const;
  // Opens the same path with the same settings again; false while it is not back.
  bool Reopen();
  // Sleeps until the device hangs up or `wake_fd` becomes readable, at most `timeout_ms`
  // (-1: no limit). Costs nothing while the device stays. True when it hung up.
  bool WaitForHangUp(int wake_fd, int timeout_ms) const;

  // Writes everything, waiting at most `timeout_ms` for the device to take each part and
  // for it to leave the output queue. Discards both queues and fails on a time-out.
  bool Write(const uint8_t* data, size_t length, int timeout_ms);
  size_t BytesWaiting() const;
  // Reads what is waiting, up to `max`; never blocks.
  size_t Read(uint8_t* buffer, size_t max);
  void Purge();

  // The modem lines. A device without them (a pseudo-terminal) reports them from the side
  // file "<path>.lines" when one exists, otherwise as on. A device that is not open, or
  // whose lines cannot be read because it went away, reports them all off.
  ModemStatus Modem() const;

  const std::string& Path() const { return path_; }
  const std::string& LastError() const { return last_error_; }

  static bool BaudFromCode(int code, unsigned& speed);

 private:
  bool Configure(const LineSettings& settings);
  bool Fail(const std::string& what);

  // Atomic: the monitor may reopen the device while another thread reads it.
  std::atomic<int> fd_{-1};
  std::string path_;
  LineSettings settings_;
  uint64_t device_id_ = 0;  // the node opened (device number, or inode for a file)
  std::string last_error_;
};

}  // namespace service_core
