// Status monitoring of a claimed, enabled printer: the poll thread turns the port's cover,
// paper and power conditions into reports when they change, and the status event thread
// updates the properties and raises the status updates, in the order found.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

namespace {

constexpr uint32_t kStatusPollIntervalMs = 500;

// Status update values (PTR_SUE_*, OPOS_SUE_*).
constexpr int32_t kCoverOpen = 11;
constexpr int32_t kCoverClosed = 12;
constexpr int32_t kPaperEmpty = 24;
constexpr int32_t kPaperPresent = 26;
constexpr int32_t kPowerOnline = 2001;
constexpr int32_t kPowerOffOffline = 2004;

// Last-reported conditions.
constexpr int32_t kReportedBad = 0;   // open, empty, off
constexpr int32_t kReportedGood = 1;  // closed, present, online
constexpr int32_t kUnknown = -1;

constexpr int32_t kErrorLevelNone = 1, kErrorLevelRecoverable = 2, kErrorLevelFatal = 3;

}  // namespace

void CPOSPrinter::StatusPollLoop(ClaimSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.poll, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.poll.Reset();
    if (platform::WaitForOne(sync.stop, kStatusPollIntervalMs) == 0) break;
    if (claimed_ && device_enabled_) {
      PollStatusOnce(sync);
      // Poll again in a while. A disabled printer is not polled until enabling wakes
      // the thread, so an idle claim costs nothing.
      sync.poll.Set();
    }
  }
  sync.status_poll_ended.Set();
}

void CPOSPrinter::RestartStatusReporting() {
  std::lock_guard lock(status_mutex_);
  cover_reported_ = paper_reported_ = power_reported_ = kUnknown;
  status_reports_.clear();  // found before the printer was disabled
}

void CPOSPrinter::PollStatusOnce(ClaimSync& sync) {
  const int status = port_.GetPrinterStatus();  // may wait for a printer that just recovered
  std::lock_guard lock(status_mutex_);
  if (!device_enabled_) return;  // disabled while asking: report nothing
  switch (status) {
    case kPortReady:
      break;
    case kPortCoverOpen:
      if (cover_reported_ != kReportedBad) {
        cover_reported_ = kReportedBad;
        // The paper is not sensed while the cover is open and the cover-open report clears
        // RecEmpty. Paper reported out becomes unknown, so closing the cover reports it
        // again, out or back; otherwise "paper back" would never be reported.
        paper_reported_ = paper_reported_ == kReportedBad ? kUnknown : kReportedGood;
        ReportStatus(sync, kCoverOpen);
      }
      break;
    case kPortPaperEmpty:
      if (paper_reported_ != kReportedBad) {
        // Paper end is only sensed with the cover closed: a cover reported open has closed,
        // and the application hears so before it hears of the paper.
        if (cover_reported_ == kReportedBad) ReportStatus(sync, kCoverClosed);
        paper_reported_ = kReportedBad;
        cover_reported_ = kReportedGood;
        ReportStatus(sync, kPaperEmpty);
      }
      break;
    default:
      // Off or offline: whatever the printer held in its image area may be gone.
      ForgetBitmapDownloads();
      break;
  }
  const bool power_reporting = power_notify_ == 1;
  if (status != kPortReady) {
    if (power_reporting && power_reported_ != kReportedBad) {
      power_reported_ = kReportedBad;
      ReportStatus(sync, kPowerOffOffline);
    }
    return;
  }
  if (power_reporting && power_reported_ != kReportedGood) {
    power_reported_ = kReportedGood;
    ReportStatus(sync, kPowerOnline);
  }
  if (cover_reported_ != kReportedGood) {
    cover_reported_ = kReportedGood;
    ReportStatus(sync, kCoverClosed);
  }
  if (paper_reported_ != kReportedGood) {
    paper_reported_ = kReportedGood;
    ReportStatus(sync, kPaperPresent);
  }
}

// Called with status_mutex_ held.
void CPOSPrinter::ReportStatus(ClaimSync& sync, int32_t status) {
  status_reports_.push_back(status);
  sync.status.Set();
}

void CPOSPrinter::StatusEventLoop(ClaimSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.status, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    // Reset before taking reports: one added after this point signals again.
    sync.status.Reset();
    if (!claimed_) continue;
    for (;;) {
      int32_t status;
      {
        std::lock_guard lock(status_mutex_);
        if (status_reports_.empty()) break;
        status = status_reports_.front();
        status_reports_.pop_front();
      }
      if (device_enabled_) RaiseStatus(sync, status);
    }
  }
  sync.status_event_ended.Set();
}

void CPOSPrinter::RaiseStatus(ClaimSync& sync, int32_t status) {
  // The properties change before the event is queued, so the application reads the new
  // values while handling it.
  int32_t error_level = kErrorLevelNone;
  const char* error_text = "";
  switch (status) {
    case kCoverOpen:
      properties_.SetNumber(prop::kCoverOpen, 1);
      properties_.SetNumber(prop::kRecEmpty, 0);
      error_level = kErrorLevelRecoverable;
      error_text = "Printer cover is open.";
      break;
    case kPaperEmpty:
      properties_.SetNumber(prop::kRecEmpty, 1);
      properties_.SetNumber(prop::kCoverOpen, 0);
      error_level = kErrorLevelRecoverable;
      error_text = "Receipt station is out of paper.";
      break;
    case kPowerOffOffline:
      power_state_ = opos::kPowerOffOffline;
      error_level = kErrorLevelFatal;
      error_text = "An unrecoverable error has occurred.";
      break;
    case kPaperPresent:
      properties_.SetNumber(prop::kRecEmpty, 0);
      break;
    case kCoverClosed:
      properties_.SetNumber(prop::kCoverOpen, 0);
      break;
    case kPowerOnline:
      power_state_ = opos::kPowerOnline;
      break;
    default:
      return;
  }
  properties_.SetNumber(prop::kErrorLevel, error_level);
  properties_.SetString(prop::kErrorString, error_text);
  QueueEvent(sync, {EventKind::StatusUpdate, {status}});
}

}  // namespace service_core
