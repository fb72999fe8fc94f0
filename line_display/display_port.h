// The display's serial link: it only writes, never reads, shares the port with nobody, and
// knows the display is there by its DSR line. While claimed it watches for the device going
// away (an adapter unplugged, a virtual display stopped) and opens it again once it is back.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "serial_device.h"

namespace line_display {

class CDisplayPort {
 public:
  CDisplayPort();
  ~CDisplayPort();
  CDisplayPort(const CDisplayPort&) = delete;
  CDisplayPort& operator=(const CDisplayPort&) = delete;

  // Opens the port (a COM name through the port map, or a path) with the baud, parity and
  // stop-bit codes; 8 data bits, DTR and RTS on, no flow control. Unknown codes fail.
  bool Open(const std::string& port_name, int baud_code, int parity_code, int stop_code);
  // Stops the watch and closes the port.
  void Close();
  bool IsOpen() const;

  // One blocking write of all the bytes; false when not open, gone, or not all were taken.
  // Writes from several threads never interleave.
  bool Write(std::string_view bytes);

  // 0 when DSR is on, 106 when it is off or the port is not open, 111 when the device is
  // gone.
  int32_t TestDsr();
  // Repeats the DSR test until it passes (0) or the claim time-out has passed since the
  // first failure (the last failure). `abandon` ends the wait early when it turns true.
  int32_t TestOnline(const std::function<bool()>& abandon = {});
  // Claim: selects the display (ESC = 2), then waits up to `timeout_ms` for DSR. Keeps the
  // time-out as the limit of every later online test.
  bool ClaimTest(int32_t timeout_ms);

  // Watches the open device on a thread of its own, which sleeps until the device hangs
  // up; while it is gone the path is opened again every 500 ms. `changed` runs on that
  // thread with false when the device went and true when it is back.
  void StartWatch(std::function<void(bool present)> changed);
  void StopWatch();
  // False from the moment the device is seen gone until it is open again.
  bool Present();

  void SetTimeout(int32_t timeout_ms) { timeout_ms_ = timeout_ms; }

 private:
  void WatchLoop();
  void WakeWatch();
  void DrainWake();
  bool WaitForWake(int timeout_ms);

  std::mutex mutex_;  // one write, open, close, reopen or line test at a time
  service_core::SerialDevice device_;
  std::atomic<bool> open_{false};
  std::atomic<bool> present_{true};
  std::atomic<int32_t> timeout_ms_{1000};
  int baud_code_ = 6;

  int wake_fd_ = -1;  // an eventfd that ends the watch's sleep
  std::atomic<bool> watch_stop_{false};
  std::function<void(bool)> changed_;
  std::thread watch_;
};

}  // namespace line_display
