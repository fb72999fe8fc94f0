#include "display_port.h"

#include <algorithm>

#include "display_bytes.h"
#include "platform/event.h"
#include "port_name.h"

namespace line_display {

namespace {
constexpr int32_t kOnline = 0;
constexpr int32_t kOffline = 106;
constexpr uint32_t kClaimTestIntervalMs = 100;
// Between two online tests: a serial port's lines are cheap to read, a virtual display's
// side file is not, and a time-out of seconds must not spin a processor.
constexpr uint32_t kOnlineRetryMs = 10;
// A write may take 19200 / baud ms a byte; the floor keeps a loaded machine from cutting a
// frame short (a cut frame is purged, and the display shows half of it).
constexpr int kMinimumWriteTimeoutMs = 1000;

int BaudRate(int code) {
  static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return code >= 3 && code <= 10 ? kRates[code - 3] : 9600;
}
}  // namespace

bool CDisplayPort::Open(const std::string& port_name, int baud_code, int parity_code,
                        int stop_code) {
  std::lock_guard lock(mutex_);
  const service_core::ResolvedPort port = service_core::ResolvePortName(port_name);
  service_core::LineSettings settings;
  settings.baud_code = baud_code;
  settings.parity_code = parity_code;
  settings.stop_code = stop_code;
  if (!device_.Open(port.path, settings)) {
    open_ = false;
    return false;
  }
  baud_code_ = baud_code;
  open_ = true;
  return true;
}

void CDisplayPort::Close() {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  device_.Purge();
  device_.Close();
  open_ = false;
}

bool CDisplayPort::IsOpen() const { return open_; }

bool CDisplayPort::Write(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (!open_) return false;
  const int timeout = std::max<int>(kMinimumWriteTimeoutMs,
                                    static_cast<int>(bytes.size()) * 19200 / BaudRate(baud_code_));
  return device_.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeout);
}

int32_t CDisplayPort::TestDsr() {
  std::lock_guard lock(mutex_);
  if (!open_) return kOffline;
  return device_.Modem().dsr ? kOnline : kOffline;
}

int32_t CDisplayPort::TestOnline(const std::function<bool()>& abandon) {
  bool failed = false;
  uint64_t first_failure = 0;
  for (;;) {
    if (TestDsr() == kOnline) return kOnline;
    if (!open_ || (abandon && abandon())) return kOffline;
    const uint64_t now = platform::TickCountMs();
    if (!failed) {
      failed = true;
      first_failure = now;
    } else if (now - first_failure > static_cast<uint64_t>(timeout_ms_.load())) {
      return kOffline;
    }
    platform::SleepMs(kOnlineRetryMs);
  }
}

bool CDisplayPort::ClaimTest(int32_t timeout_ms) {
  timeout_ms_ = timeout_ms;
  Write(kSelectDisplayBytes);
  const uint64_t start = platform::TickCountMs();
  for (;;) {
    if (TestDsr() == kOnline) return true;
    if (platform::TickCountMs() - start >= static_cast<uint64_t>(timeout_ms)) return false;
    platform::SleepMs(kClaimTestIntervalMs);
  }
}

}  // namespace line_display
