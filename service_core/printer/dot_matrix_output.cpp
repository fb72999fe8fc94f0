// The output worker on the dot-matrix model, which cannot confirm what it printed: one
// request at a time, a wake-up line feed for a printer that has been idle, a pause for the
// printing, then a look at the printer's condition.
#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr uint64_t kDotMatrixWakeAfterMs = 1000;
constexpr uint32_t kStatusRoundMs = 500;
constexpr uint8_t kLineFeed = 0x0A;
constexpr int kWriteFailed = -1;
constexpr int kStopped = -2;
}  // namespace

void CPOSPrinter::PrintDotMatrixRequest(ClaimSync& sync) {
  std::vector<OutputJob> jobs;
  if (!TakeNextRequest(jobs)) {
    {
      std::lock_guard lock(output_queue_mutex_);
      for (const OutputJob& job : output_queue_) {
        if (claimed_ && !job.taken && job.output_id != 0) return;  // the loop comes back
      }
      sync.work.Reset();
      output_pending_ = !output_queue_.empty();
    }
    GoIdle(sync);
    return;
  }
  const int32_t id = jobs.back().output_id;
  bool retried = false;
  for (;;) {
    SetState(opos::kStateBusy);
    int status = port_.GetPrinterStatus();
    if (status == kPortReady) {
      const uint64_t now = platform::TickCountMs();
      if (now - last_async_print_ms_ > kDotMatrixWakeAfterMs && !port_.WritePort(&kLineFeed, 1))
        status = kWriteFailed;
      last_async_print_ms_ = now;
      for (const OutputJob& job : jobs) {
        if (status != kPortReady) break;
        if (stop_) return;
        const std::string_view bytes(reinterpret_cast<const char*>(job.data.data()), job.data.size());
        if (!WriteJob(bytes, job.expand_bitmaps, job.image_area)) status = kWriteFailed;
      }
      if (status == kPortReady) {
        // Give it time to print, then look at it.
        if (platform::WaitForOne(sync.stop, ThisBuild().dot_matrix_settle_ms) == 0)
          status = kStopped;
        if (status != kStopped) status = port_.GetPrinterStatus();
      }
    }
    if (status == kStopped || stop_) return;
    if (status == kPortReady) {
      FinishRequest(sync, id, true);
      return;
    }
    if (retried && status != kWriteFailed) {
      // Retried into a printer that is still not ready: one status round before the next
      // error event.
      if (platform::WaitForOne(sync.stop, kStatusRoundMs) == 0) return;
      if (port_.GetPrinterStatus() == kPortReady) continue;
    }
    const int32_t response = AwaitErrorResponse(sync, jobs.back().station, status, 0);
    if (stop_) return;
    if (clear_during_error_) {
      clear_during_error_ = false;
      DropAllOutput();
      return;
    }
    if (response != opos::kErRetry) {
      FinishRequest(sync, id, false);
      return;
    }
    retried = true;
  }
}

}  // namespace service_core
