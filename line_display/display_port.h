// The display's serial link: it only writes, never reads, shares the port with nobody, and
// knows the display is there by its DSR line.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "serial_device.h"

namespace line_display {

class CDisplayPort {
 public:
  // Opens the port (a COM name through the port map, or a path) with the baud, parity and
  // stop-bit codes; 8 data bits, DTR and RTS on, no flow control. Unknown codes fail.
  bool Open(const std::string& port_name, int baud_code, int parity_code, int stop_code);
  void Close();
  bool IsOpen() const;

  // One blocking write of all the bytes; false when not open or not all were taken.
  // Writes from several threads never interleave.
  bool Write(std::string_view bytes);

  // 0 when DSR is on, 106 when it is off or the port is not open.
  int32_t TestDsr();
  // Repeats the DSR test until it passes (0) or the claim time-out has passed since the
  // first failure (106). `abandon` ends the wait early (106) when it turns true.
  int32_t TestOnline(const std::function<bool()>& abandon = {});
  // Claim: selects the display (ESC = 2), then waits up to `timeout_ms` for DSR. Keeps the
  // time-out as the limit of every later online test.
  bool ClaimTest(int32_t timeout_ms);

  void SetTimeout(int32_t timeout_ms) { timeout_ms_ = timeout_ms; }

 private:
  std::mutex mutex_;  // one write, open or close at a time
  service_core::SerialDevice device_;
  std::atomic<bool> open_{false};
  std::atomic<int32_t> timeout_ms_{1000};
  int baud_code_ = 6;
};

}  // namespace line_display
