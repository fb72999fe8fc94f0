#include "stream_printer_port.h"

#include <algorithm>
#include <span>

#include "platform/ui_provider.h"
#include "status_block.h"

namespace service_core {
namespace {

constexpr uint8_t kEnableStatusBack[] = {0x1D, 0x61, 0xFF};
constexpr uint8_t kKeepAlive[] = {0x00};
constexpr uint8_t kPrinterStatusQuery[] = {0x10, 0x04, 0x01};
constexpr uint8_t kOfflineStatusQuery[] = {0x10, 0x04, 0x02};
constexpr uint8_t kPaperStatusQuery[] = {0x10, 0x04, 0x04};
constexpr uint32_t kAnswerWaitMs = 10;
constexpr uint32_t kProbePauseMs = 100;
constexpr uint32_t kDrawerQueryBudgetMs = 500;
constexpr uint32_t kSettleAfterRepeatMs = 500;
constexpr uint32_t kSettleAfterConnectMs = 500;
constexpr int kMonitorReadMs = 100;
// A thermal printer that has been silent this long is asked for its status block; one that
// then stays silent this much longer is taken to be off.
constexpr uint64_t kSilenceBeforeAskingMs = 3000;
constexpr uint64_t kSilenceAfterAskingMs = 2000;

uint64_t Now() { return platform::TickCountMs(); }

}  // namespace

void StreamPrinterPort::ShowMessage(const char* text, const char* caption) const {
  if (traits_.message_boxes) platform::ui::Current().MessageBox(text, caption, platform::ui::kOk);
}

long StreamPrinterPort::Query(const uint8_t* bytes, size_t length, uint32_t wait_ms) {
  last_read_count_ = 0;
  if (!SendBytes(bytes, length)) {
    query_lost_ = true;
    return 0;
  }
  platform::SleepMs(wait_ms);
  const long n = ReceiveBytes(read_buffer_, sizeof read_buffer_, traits_.read_timeout_ms);
  if (n < 0) query_lost_ = true;
  last_read_count_ = std::max(0L, n);
  return last_read_count_;
}

int StreamPrinterPort::ProbePrinterStatus() {
  if (!open_) return kPortNoAnswer;
  std::lock_guard lock(query_mutex_);
  if (const auto printer = IsDrawerLink() ? SharingPrinter() : std::nullopt) {
    // The printer's monitor reads every answer on the shared line: its flags tell.
    // A printer that answers no status query cannot tell where the drawer stands, beside
    // it as much as alone.
    status_capability_ = printer->thermal && printer->status_capability;
    if (!printer->thermal) return kPortReady;
    if (printer->condition == kPortNoAnswer) ShowMessage("E", "106");
    return printer->condition;
  }
  // A printer that answers no status query at all is still usable, only not sensed.
  if (!SendBytes(kKeepAlive, sizeof kKeepAlive) ||
      Query(kOfflineStatusQuery, sizeof kOfflineStatusQuery, kAnswerWaitMs) == 0) {
    status_capability_ = false;
    return kPortReady;
  }
  const uint64_t start = Now();
  for (;;) {
    if (Now() - start > traits_.probe_budget_ms) {
      ShowMessage("D4", "106");
      return kPortNoAnswer;
    }
    if (Query(kOfflineStatusQuery, sizeof kOfflineStatusQuery, kAnswerWaitMs) > 0 &&
        (read_buffer_[last_read_count_ - 1] & 0x04)) {
      SetCoverOpen(true);
      return kPortCoverOpen;
    }
    if (Query(kPaperStatusQuery, sizeof kPaperStatusQuery, kAnswerWaitMs) > 0) break;
    platform::SleepMs(kProbePauseMs);
  }
  status_capability_ = true;
  const bool paper_empty = (read_buffer_[last_read_count_ - 1] & 0x60) != 0;
  SetPaperEmpty(paper_empty);
  return paper_empty ? kPortPaperEmpty : kPortReady;
}

int StreamPrinterPort::ConnectPrinter(int timeout_ms) {
  SetCondition(false, false, false);
  connected_ = recent_error_ = false;
  status_capability_ = true;
  int result = ProbePrinterStatus();
  bool repeated = false;
  uint64_t first_repeat = 0;
  while (result != kPortReady) {
    if (!repeated) {
      repeated = true;
      first_repeat = Now();
    } else if (Now() - first_repeat > static_cast<uint64_t>(timeout_ms)) {
      if (result == kPortPaperEmpty)
        ShowMessage("Paper Empty!!! Please Check Receipter Printer", "Receipter Error");
      if (result == kPortCoverOpen)
        ShowMessage("Cover Opened!!! Please Check Receipter Printer", "Receipter Error");
      return result;
    }
    result = ProbePrinterStatus();
  }
  if (repeated) platform::SleepMs(kSettleAfterRepeatMs);

  connected_ = true;
  MarkClaimed();
  if (IsDrawerLink()) return kPortReady;
  if (IsThermal()) {
    std::lock_guard lock(query_mutex_);
    const long n = Query(kEnableStatusBack, sizeof kEnableStatusBack, kAnswerWaitMs);
    if (n >= 4 && read_buffer_[n - 3] == 0 && read_buffer_[n - 2] == 0 &&
        read_buffer_[n - 1] == 0) {
      if (read_buffer_[n - 4] == 0x14) drawer_state_ = 0;
      if (read_buffer_[n - 4] == 0x10) drawer_state_ = 1;
    }
  }
  StartMonitor();
  platform::SleepMs(kSettleAfterConnectMs);
  return kPortReady;
}

int StreamPrinterPort::WritePort(const uint8_t* bytes, size_t length) {
  uint64_t stream_start = 0;
  return WritePortAt(bytes, length, stream_start);
}

int StreamPrinterPort::WritePortAt(const uint8_t* bytes, size_t length, uint64_t& stream_start) {
  stream_start = Position().sent;
  if (!open_ || length == 0 || bytes == nullptr) return 0;
  if (SendBytes(bytes, length, &stream_start)) return 1;
  OnWriteFailed();
  return 0;
}

size_t StreamPrinterPort::ReadPort(uint8_t* buffer, size_t max) {
  if (!open_ || buffer == nullptr || max == 0) return 0;
  const long n = ReceiveBytes(buffer, max, traits_.read_timeout_ms);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

int StreamPrinterPort::GetPrinterStatus() {
  if (IsDrawerLink()) return DrawerLinkStatus();
  // A printer that cannot be reached (connection lost, device unplugged) is off or offline
  // until it is back and has answered.
  if (!DevicePresent()) SetOffline(true);
  return StatusFromFlags();
}

int StreamPrinterPort::DrawerLinkStatus() {
  std::lock_guard lock(query_mutex_);
  const uint64_t start = Now();
  std::optional<uint8_t> answer;
  query_lost_ = false;
  for (;;) {
    const long n = Query(kPrinterStatusQuery, sizeof kPrinterStatusQuery, kAnswerWaitMs);
    answer = LastPrinterStatusAnswer({read_buffer_, static_cast<size_t>(n)});
    if (answer) break;
    // The connection or the device is gone: no answer can come on it. Without a printer
    // link of the process to bring it back, the drawer link does; while it is not back the
    // query fails at once.
    const bool lost = query_lost_ && !RestoreForDrawer();
    query_lost_ = false;
    if (lost || Now() - start > kDrawerQueryBudgetMs) {
      // Told once when the printer stops answering, not at every poll after.
      if (!drawer_query_failing_) ShowMessage("C", "106");
      drawer_query_failing_ = true;
      SetOffline(false);
      recent_error_ = true;
      return kPortNoAnswer;
    }
  }
  drawer_query_failing_ = false;
  return StatusFromDrawerAnswer(*answer);
}

CPrinterPort::SharedPrinter StreamPrinterPort::ViewOf(StreamPrinterPort& link,
                                                   bool take_brief_drawer_state) {
  SharedPrinter view;
  view.connected = link.connected_;
  view.thermal = link.IsThermal();
  view.status_capability = link.status_capability_;
  if (PortUser* printer = link.printer_) {
    view.output_pending = printer->OutputPending();
    view.last_output_ms = printer->LastOutputMs();
  }
  view.recent_error = link.recent_error_;
  view.condition = link.ConditionStatus();
  view.drawer_state = link.drawer_state_;
  if (take_brief_drawer_state) view.brief_drawer_state = link.brief_drawer_state_.exchange(-1);
  return view;
}

void StreamPrinterPort::PrinterCameBack() {
  if (PortUser* printer = printer_) printer->OnPrinterPowerLost();
  SetOffline(true);
  poll_now_.Set();
}

bool StreamPrinterPort::MonitorSleep(uint32_t ms) {
  platform::WaitForOne(monitor_wake_, ms);
  return monitor_stop_;
}

void StreamPrinterPort::StartMonitor() {
  monitor_stop_ = false;
  monitor_wake_.Reset();
  brief_drawer_state_ = -1;
  monitor_ = std::thread([this] { MonitorLoop(); });
}

void StreamPrinterPort::StopMonitor() {
  if (!monitor_.joinable()) return;
  monitor_stop_ = true;
  monitor_wake_.Set();
  monitor_.join();
}

void StreamPrinterPort::MonitorLoop() {
  MonitorReads reads;
  uint8_t fresh_bytes[256];
  uint64_t last_answer = Now();
  uint64_t asked_at = 0;  // when a silent printer was asked for its status block
  // A printer that answered the probe, or has sent something since, can be asked.
  bool answered = status_capability_;
  while (!monitor_stop_) {
    platform::WaitForAny({&monitor_wake_, &poll_now_}, fast_poll_ ? 50 : 500);
    poll_now_.Reset();
    if (monitor_stop_) break;
    if (!DevicePresent()) {
      SetOffline(true);
      continue;
    }

    const uint64_t now = Now();
    bool sent = true;
    if (Offline()) {
      // Each round until the printer answers: it may have been switched off and on again,
      // which switches automatic status back off.
      sent = SendBytes(kEnableStatusBack, sizeof kEnableStatusBack);
      if (MonitorSleep(100)) break;
    } else if (IsThermal() && answered && !fast_poll_ && asked_at == 0 &&
               now - last_answer >= kSilenceBeforeAskingMs) {
      // A quiet printer is asked for its status block: the answer shows it is still there.
      sent = SendBytes(kEnableStatusBack, sizeof kEnableStatusBack);
      asked_at = now;
    } else if (!fast_poll_) {
      sent = SendBytes(kKeepAlive, sizeof kKeepAlive);
    }
    if (!sent) {
      OnLost();
      reads.Reset();
      asked_at = 0;
      last_answer = Now();
      continue;
    }

    const long n = ReceiveBytes(fresh_bytes, sizeof fresh_bytes, kMonitorReadMs);
    if (n < 0) {
      OnLost();
      reads.Reset();
      asked_at = 0;
      last_answer = Now();
      continue;
    }
    if (n > 0) {
      answered = true;
      last_answer = Now();
      asked_at = 0;
    } else if (asked_at != 0 && Now() - asked_at >= kSilenceAfterAskingMs) {
      // Asked and still silent: the printer is off. Images downloaded to it are gone.
      asked_at = 0;
      power_lost_ = true;
      SetOffline(true);
      if (PortUser* printer = printer_) printer->OnPrinterPowerLost();
    }
    reads.Feed(std::span<const uint8_t>(fresh_bytes, static_cast<size_t>(n)), IsThermal());
    ApplyMonitorRound(reads, BlockLayout::kWithoutOfflineBit);
  }
}

}  // namespace service_core
