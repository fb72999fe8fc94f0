// The byte link an upload runs over: a serial port (termios), a parallel or USB printer
// device file, or a TCP connection. Every wait has a time-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace flashwise {

struct SerialSettings {
  int baud_code = 6;         // 3 = 1200 ... 10 = 115200
  int bit_length_index = 0;  // 0: 8 bits
  int parity_index = 0;      // 0 none, 1 even, 2 odd
  int stop_bit_index = 0;    // 0: 1 stop bit
  int handshake_index = 0;   // 0: DTR/DSR
};

class UploadLink {
 public:
  ~UploadLink();
  UploadLink(const UploadLink&) = delete;
  UploadLink& operator=(const UploadLink&) = delete;

  // "COM1".."COM99" (through the port map of the registry, else /dev/ttyS<n-1>), "LPT1"
  // and "LPT2" (/dev/lp0, /dev/lp1), "USB" (the first /dev/usb/lp*), or a device path.
  // Null with a message in `error` when the port cannot be opened or a setting is not
  // one the lists offer.
  static std::unique_ptr<UploadLink> OpenPort(const std::string& port,
                                              const SerialSettings& settings, std::string& error);
  // An IPv4 address in dotted form and a port number, connected within `timeout_ms`.
  static std::unique_ptr<UploadLink> Connect(const std::string& address, const std::string& port,
                                             int timeout_ms, std::string& error);

  // Everything, or false when the link breaks or the device takes nothing for `timeout_ms`.
  bool Write(std::span<const uint8_t> bytes, int timeout_ms);
  // Exactly `out.size()` bytes, or false on a time-out (all of them within `timeout_ms`)
  // or a broken link.
  bool Read(std::span<uint8_t> out, int timeout_ms);
  // How long `count` bytes take on the line: a write returns once the port has queued
  // them, and at 2400 bps a full frame needs longer to cross than the printer has to
  // answer. 0 for links that are not serial ports.
  int WireTimeMs(size_t count) const;
  // Drops what the device sent and nobody read.
  void DiscardInput();

  const std::string& LastError() const { return last_error_; }

 private:
  explicit UploadLink(int fd) : fd_(fd) {}
  bool Fail(const std::string& what);

  int fd_;
  int64_t byte_time_us_ = 0;  // a serial port's time per byte on the line
  std::string last_error_;
};

}  // namespace flashwise
