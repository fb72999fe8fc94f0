// The output worker: prints queued asynchronous requests in order, waits for the printer to
// confirm each one, raises output-complete events, and turns printer trouble into error
// events whose ErrorResponse decides between printing the request again and dropping it.
#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"
#include "print_data/text_print.h"

namespace service_core {

namespace {
constexpr uint64_t kDotMatrixWakeAfterMs = 1000;
constexpr uint32_t kDotMatrixSettleMs = 1500;
constexpr uint32_t kCompletionPollMs = 20;
constexpr uint32_t kAnswerSettleMs = 100;
constexpr uint64_t kCompletionResendMs = 10000;
// A printer that has not answered this many completion requests is reported as failed
// instead of being asked for ever.
constexpr int kCompletionRequestsBeforeError = 3;
constexpr uint8_t kLineFeed = 0x0A;
// GS ( H asking for process identifier "FFFF": the printer answers once it got this far.
constexpr std::string_view kCompletionRequest = print_data::kCompletionRequest;
constexpr int kWriteFailed = -1;  // a status of our own: the link refused the bytes
constexpr int kStopped = -2;      // release: leave the request as it is

constexpr int32_t kPropErrorStation = 8004;
constexpr int32_t kPropErrorLevel = 8035;
constexpr int32_t kErrorLevelNone = 1, kErrorLevelRecoverable = 2, kErrorLevelFatal = 3;

std::string_view View(const std::vector<uint8_t>& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}
}  // namespace

struct CPOSPrinter::RequestOutcome {
  int status = kPortReady;  // a port status, kWriteFailed or kStopped
};

void CPOSPrinter::OutputWorkerLoop(ClaimSync& sync) {
  while (!stop_) {
    platform::WaitForAny({&sync.work, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    std::vector<OutputJob> request;
    {
      // The next request is the head of the queue up to its entry with an identifier;
      // pieces of a request still being sent wait for it.
      std::lock_guard lock(output_queue_mutex_);
      size_t end = 0;
      while (end < output_queue_.size() && output_queue_[end].output_id == 0) ++end;
      if (!claimed_ || end == output_queue_.size()) {
        sync.work.Reset();
        output_pending_ = !output_queue_.empty();
        current_request_id_ = 0;
      } else {
        request.assign(output_queue_.begin(), output_queue_.begin() + end + 1);
        current_request_id_ = request.back().output_id;
        output_pending_ = true;
      }
    }
    if (request.empty()) {
      GoIdle(sync);
      continue;
    }
    const int32_t id = request.back().output_id;
    for (;;) {
      SetState(opos::kStateBusy);
      clear_during_error_ = false;
      const RequestOutcome outcome = PrintRequest(sync, request);
      if (outcome.status == kStopped) break;
      if (outcome.status == kPortReady) {
        FinishRequest(sync, id, true);
        break;
      }
      const int32_t response = AwaitErrorResponse(sync, request.back(), outcome.status);
      if (stop_) break;
      if (clear_during_error_) {
        clear_during_error_ = false;
        std::lock_guard lock(output_queue_mutex_);
        output_queue_.clear();
        current_request_id_ = 0;
        if (freeze_events_) {
          // Events of the cleared output that wait behind the freeze are dropped.
          std::lock_guard events(event_queue_mutex_);
          int32_t waiting = 0;
          for (const EventRecord& r : event_queue_) {
            if (r.kind == EventKind::Error || r.kind == EventKind::OutputComplete) ++waiting;
          }
          discard_count_ = waiting;
          discard_events_ = waiting > 0;
        }
        break;
      }
      if (response != opos::kErRetry) {
        FinishRequest(sync, id, false);
        break;
      }
    }
  }
  sync.output_worker_ended.Set();
}

CPOSPrinter::RequestOutcome CPOSPrinter::PrintRequest(ClaimSync& sync,
                                                      const std::vector<OutputJob>& request) {
  if (const int status = port_.GetPrinterStatus(); status != kPortReady) return {status};
  const uint64_t now = platform::TickCountMs();
  if (!thermal_ && now - last_async_print_ms_ > kDotMatrixWakeAfterMs &&
      !port_.WritePort(&kLineFeed, 1)) {
    return {kWriteFailed};
  }
  last_async_print_ms_ = now;
  for (const OutputJob& job : request) {
    if (stop_) return {kStopped};
    if (!WriteJob(View(job.data), job.expand_bitmaps, job.image_area)) return {kWriteFailed};
  }
  if (thermal_) return {WaitForCompletion(sync)};
  // The dot-matrix model cannot confirm; give it time to print, then look at it.
  if (platform::WaitForOne(sync.stop, kDotMatrixSettleMs) == 0) return {kStopped};
  return {port_.GetPrinterStatus()};
}

int CPOSPrinter::WaitForCompletion(ClaimSync& sync) {
  completion_answer_ = false;
  completion_event_.Reset();
  if (!WriteBytes(kCompletionRequest)) return kWriteFailed;
  port_.SetFastPoll(true);
  uint64_t sent_at = platform::TickCountMs();
  int requests = 1;
  int result = kPortReady;
  for (;;) {
    if (completion_answer_.exchange(false)) {
      // Let the printer report a condition that stopped it just before it answered.
      result = platform::WaitForOne(sync.stop, kAnswerSettleMs) == 0 ? kStopped
                                                                     : port_.GetPrinterStatus();
      break;
    }
    if (const int status = port_.GetPrinterStatus(); status != kPortReady) {
      result = status;
      break;
    }
    if (stop_) {
      result = kStopped;
      break;
    }
    if (platform::TickCountMs() - sent_at >= kCompletionResendMs) {
      if (requests >= kCompletionRequestsBeforeError) {
        result = kPortNoAnswer;
        break;
      }
      if (!WriteBytes(kCompletionRequest)) {
        result = kWriteFailed;
        break;
      }
      ++requests;
      sent_at = platform::TickCountMs();
    }
    platform::WaitForAny({&completion_event_, &sync.stop}, kCompletionPollMs);
    completion_event_.Reset();
  }
  port_.SetFastPoll(false);
  return result;
}

int32_t CPOSPrinter::AwaitErrorResponse(ClaimSync& sync, const OutputJob& job, int status) {
  error_wait_ = true;
  int32_t result = opos::kFailure, extended = opos::kExtWriteFailed;
  int32_t level = kErrorLevelFatal;
  std::string text = "An unrecoverable error has occurred.";
  if (status == kPortCoverOpen || status == kPortPaperEmpty) {
    result = opos::kExtended;
    extended = status == kPortCoverOpen ? opos::kExtCoverOpen : opos::kExtRecEmpty;
    level = kErrorLevelRecoverable;
    text = status == kPortCoverOpen ? "Printer cover is open." : "Receipt station is out of paper.";
  }
  result_code_ = result;
  result_code_extended_ = extended;
  properties_.SetNumber(kPropErrorStation, job.station);
  properties_.SetNumber(kPropErrorLevel, level);
  properties_.SetString(opos::kPropErrorString, text);

  const uint64_t serial = ++errors_raised_;
  sync.error_response.Reset();
  QueueEvent(sync, {EventKind::Error, {result, extended, opos::kLocusOutput, opos::kErRetry}});
  // Woken by the answer, by ClearOutput, or by release. An answer still owed to an earlier
  // error event (cleared before the application saw it) is not this one's.
  for (;;) {
    platform::WaitForAny({&sync.error_response, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.error_response.Reset();
    if (clear_during_error_ || errors_answered_ >= serial) break;
  }
  properties_.SetNumber(kPropErrorLevel, kErrorLevelNone);
  properties_.SetString(opos::kPropErrorString, "");
  error_wait_ = false;
  return error_response_;
}

void CPOSPrinter::FinishRequest(ClaimSync& sync, int32_t output_id, bool completed) {
  bool still_queued = false;
  {
    std::lock_guard lock(output_queue_mutex_);
    size_t end = 0;
    while (end < output_queue_.size() && output_queue_[end].output_id != output_id) ++end;
    if (end < output_queue_.size()) {
      output_queue_.erase(output_queue_.begin(), output_queue_.begin() + end + 1);
      still_queued = true;
    }
    current_request_id_ = 0;
  }
  error_wait_ = false;
  // A request that release discarded while it printed ends without an event.
  if (completed && still_queued) QueueEvent(sync, {EventKind::OutputComplete, {output_id}});
}

void CPOSPrinter::GoIdle(ClaimSync& sync) {
  // State and FlagWhenIdle change together under the event-queue mutex, so the setter of
  // FlagWhenIdle cannot raise the idle event a second time.
  std::lock_guard lock(event_queue_mutex_);
  state_ = opos::kStateIdle;
  if (properties_.Number(opos::kPropFlagWhenIdle) == 1) {
    properties_.SetNumber(opos::kPropFlagWhenIdle, 0);
    event_queue_.push_back({EventKind::StatusUpdate, {opos::kStatusIdle}});
    sync.event_queue.Set();
  }
}

}  // namespace service_core
