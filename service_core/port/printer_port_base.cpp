#include <algorithm>

#include "platform/event.h"
#include "printer_port.h"

namespace service_core {

bool CPrinterPort::OpenPortWithin(const PortSettings& settings, int32_t timeout_ms, bool retry) {
  constexpr uint32_t kOpenRetryMs = 100;
  uint64_t first_failure = 0;
  while (!OpenPort(settings)) {
    if (!retry) return false;
    const uint64_t now = platform::TickCountMs();
    if (first_failure == 0) {
      first_failure = now;
    } else if (now - first_failure > static_cast<uint64_t>(timeout_ms)) {
      return false;
    }
    platform::SleepMs(kOpenRetryMs);
  }
  return true;
}

void CPrinterPort::SetCondition(bool cover_open, bool paper_empty, bool offline) {
  condition_ = static_cast<uint8_t>((cover_open ? kCoverOpenBit : 0) |
                                    (paper_empty ? kPaperEmptyBit : 0) |
                                    (offline ? kOfflineBit : 0));
}

int CPrinterPort::ConditionStatus() const {
  const uint8_t condition = condition_;
  if (condition & kCoverOpenBit) return kPortCoverOpen;
  if (condition & kPaperEmptyBit) return kPortPaperEmpty;
  if (condition & kOfflineBit) return kPortNoAnswer;
  return kPortReady;
}

int CPrinterPort::StatusFromFlags() {
  const int condition = ConditionStatus();
  if (condition != kPortReady) {
    recent_error_ = true;
    return condition;
  }
  if (recent_error_) {
    platform::SleepMs(500);
    recent_error_ = false;
  }
  return kPortReady;
}

int CPrinterPort::StatusFromDrawerAnswer(uint8_t answer) {
  // The pin-3 bit is read from every status answer, also one with the offline bit set (1A,
  // 1E): a printer with its cover open or paper out still tells where the drawer stands.
  PortUser* drawer = drawer_;
  const int open_level = drawer ? drawer->DrawerOpenLevel() : 1;
  const bool pin3_high = (answer & kStatusPin3High) != 0;
  drawer_state_ = pin3_high == (open_level == 0) ? 1 : 0;
  const bool offline = (answer & kStatusOffline) != 0;
  SetOffline(offline);
  if (offline) {
    // A kick sent now would wait in the printer's buffer and open the drawer later, unasked.
    recent_error_ = true;
    return kPortNoAnswer;
  }
  if (recent_error_) {
    platform::SleepMs(500);
    recent_error_ = false;
  }
  return kPortReady;
}

void CPrinterPort::ApplyMonitorRound(MonitorReads& reads, BlockLayout layout) {
  const std::span<const uint8_t> status = reads.StatusBytes();
  auto take_condition = [&](const StatusReading& reading) {
    if (!reading.condition) return;
    SetCondition(reading.condition->cover_open, reading.condition->paper_empty,
                 reading.condition->offline);
  };
  // Each answer goes to the printer with the condition of the status block sent just before
  // it. A printer back from an open cover sends its ready block and then the answers to what
  // it held: the output worker woken by such an answer must see the printer ready, and one
  // woken by an answer sent before the cover opened must not see it open yet.
  if (PortUser* printer = printer_) {
    for (const PrinterAnswer& answer : reads.Answers()) {
      const size_t before = std::min(answer.position, status.size());
      take_condition(ParseMonitorRead(status.first(before), drawer_state_, IsThermal(), layout));
      printer->OnPrinterAnswer(answer);
    }
  }
  const StatusReading reading = ParseMonitorRead(status, drawer_state_, IsThermal(), layout);
  take_condition(reading);
  if (reading.drawer_state) drawer_state_ = *reading.drawer_state;
  if (reading.brief_drawer_state) brief_drawer_state_ = *reading.brief_drawer_state;
  reads.CarryIncompleteBlock();
}

}  // namespace service_core
