#include "display_port.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "display_bytes.h"
#include "platform/event.h"
#include "port_name.h"

namespace line_display {

namespace {
constexpr int32_t kOnline = 0;
constexpr int32_t kOffline = 106;
constexpr int32_t kGone = 111;  // as the printer's link answers for a device that went away
constexpr uint32_t kClaimTestIntervalMs = 100;
// Between two online tests: a serial port's lines are cheap to read, a virtual display's
// side file is not, and a time-out of seconds must not spin a processor.
constexpr uint32_t kOnlineRetryMs = 10;
// A write may take 19200 / baud ms a byte; the floor keeps a loaded machine from cutting a
// frame short (a cut frame is purged, and the display shows half of it).
constexpr int kMinimumWriteTimeoutMs = 1000;
// How often a device that went away is looked for again.
constexpr int kReopenIntervalMs = 500;

int BaudRate(int code) {
  static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return code >= 3 && code <= 10 ? kRates[code - 3] : 9600;
}
}  // namespace

CDisplayPort::CDisplayPort() : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CDisplayPort::~CDisplayPort() {
  Close();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

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
  present_ = true;
  open_ = true;
  return true;
}

void CDisplayPort::Close() {
  StopWatch();
  std::lock_guard lock(mutex_);
  if (!open_) return;
  device_.Purge();
  device_.Close();
  open_ = false;
}

bool CDisplayPort::IsOpen() const { return open_; }

bool CDisplayPort::Write(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (!open_ || !present_) return false;
  const int timeout = std::max<int>(kMinimumWriteTimeoutMs,
                                    static_cast<int>(bytes.size()) * 19200 / BaudRate(baud_code_));
  return device_.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeout);
}

int32_t CDisplayPort::TestDsr() {
  std::lock_guard lock(mutex_);
  if (!open_) return kOffline;
  if (!present_) return kGone;
  if (device_.Gone()) {
    // Gone without a hang-up the watch could sleep on (its node replaced): the watch
    // takes it from here.
    WakeWatch();
    return kGone;
  }
  return device_.Modem().dsr ? kOnline : kOffline;
}

bool CDisplayPort::Present() { return TestDsr() != kGone; }

int32_t CDisplayPort::TestOnline(const std::function<bool()>& abandon) {
  bool failed = false;
  uint64_t first_failure = 0;
  for (;;) {
    const int32_t result = TestDsr();
    if (result == kOnline) return kOnline;
    if (!open_ || (abandon && abandon())) return result;
    const uint64_t now = platform::TickCountMs();
    if (!failed) {
      failed = true;
      first_failure = now;
    } else if (now - first_failure > static_cast<uint64_t>(timeout_ms_.load())) {
      return result;
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

void CDisplayPort::StartWatch(std::function<void(bool present)> changed) {
  StopWatch();
  changed_ = std::move(changed);
  watch_ = std::thread([this] { WatchLoop(); });
}

void CDisplayPort::StopWatch() {
  if (!watch_.joinable()) return;
  watch_stop_ = true;
  WakeWatch();
  watch_.join();
  watch_stop_ = false;
  DrainWake();
}

void CDisplayPort::WakeWatch() {
  const uint64_t one = 1;
  if (wake_fd_ < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void CDisplayPort::DrainWake() {
  uint64_t count = 0;
  if (wake_fd_ < 0) return;
  [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
}

bool CDisplayPort::WaitForWake(int timeout_ms) {
  pollfd p{wake_fd_, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

void CDisplayPort::WatchLoop() {
  // Only this thread reopens the device while the watch runs, so the descriptor it sleeps
  // on is never closed under it.
  while (!watch_stop_) {
    if (present_) {
      device_.WaitForHangUp(wake_fd_, -1);
      DrainWake();
      if (watch_stop_) break;
      bool went = false;
      {
        std::lock_guard lock(mutex_);
        if (device_.Gone()) {
          present_ = false;
          went = true;
        }
      }
      if (went && changed_) changed_(false);
    } else {
      if (WaitForWake(kReopenIntervalMs)) DrainWake();
      if (watch_stop_) break;
      bool back = false;
      {
        std::lock_guard lock(mutex_);
        back = device_.Reopen();
        present_ = back;
      }
      if (back && changed_) changed_(true);
    }
  }
}

}  // namespace line_display
