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

int CPrinterPort::StatusFromFlags() {
  int condition = kPortReady;
  if (cover_open_)
    condition = kPortCoverOpen;
  else if (paper_empty_)
    condition = kPortPaperEmpty;
  else if (offline_)
    condition = kPortNoAnswer;
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

void CPrinterPort::ApplyMonitorRound(MonitorReads& reads, BlockLayout layout) {
  const StatusReading reading =
      ParseMonitorRead(reads.StatusBytes(), drawer_state_, IsThermal(), layout);
  // The condition first: a printer that is back sends its status block before the answers
  // to what it held, and the output worker, woken by an answer, must not see the old
  // condition and report trouble that is already over.
  if (reading.condition) {
    cover_open_ = reading.condition->cover_open;
    paper_empty_ = reading.condition->paper_empty;
    offline_ = reading.condition->offline;
  }
  if (reading.drawer_state) drawer_state_ = *reading.drawer_state;
  if (reading.brief_drawer_state) brief_drawer_state_ = *reading.brief_drawer_state;
  if (PortUser* printer = printer_) {
    for (const PrinterAnswer& answer : reads.Answers()) printer->OnPrinterAnswer(answer);
  }
  reads.CarryIncompleteBlock();
}

}  // namespace service_core
