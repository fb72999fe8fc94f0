// The output worker: prints queued asynchronous requests in order, waits for the printer to
// confirm each one, raises output-complete events, and turns printer trouble into error
// events whose ErrorResponse decides between printing the request again and dropping it.
//
// On the thermal model the worker writes ahead: each request is followed by a completion
// request with an identifier of its own, and the next request goes out while the earlier
// ones wait for their answers, so the printer never waits for the handshake. The dot-matrix
// model cannot confirm and prints one request at a time (dot_matrix_output.cpp).
#include <algorithm>

#include "build_differences.h"
#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr uint32_t kCompletionPollMs = 20;
constexpr uint64_t kCompletionResendMs = 10000;
// A printer that has not answered this many completion requests is reported as failed
// instead of being asked for ever.
constexpr int kCompletionRequestsBeforeError = 3;
// A retry into a printer that still reports trouble waits one status round first.
constexpr uint32_t kStatusRoundMs = 500;
// Writing ahead stops while the line is expected to be busy for longer than this, and
// while this many bytes wait for their confirmation (the printer's receive buffer).
constexpr uint64_t kWriteAheadMs = 300;
constexpr size_t kMaxUnconfirmedBytes = 2048;
constexpr int kWriteFailed = -1;  // statuses of our own: the link refused the bytes,
constexpr int kUnconfirmed = -3;  // or the printer never answered the completion request
constexpr int32_t kConfirmedMeanwhile = -100;

constexpr int32_t kPropErrorStation = 8004;
constexpr int32_t kPropErrorLevel = 8035;
constexpr int32_t kErrorLevelNone = 1, kErrorLevelRecoverable = 2, kErrorLevelFatal = 3;
constexpr int32_t kReceiptStation = 2;

std::string_view View(const std::vector<uint8_t>& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}
}  // namespace

void CPOSPrinter::OutputWorkerLoop(ClaimSync& sync) {
  written_.clear();
  wire_free_at_ = 0;
  loss_possible_ = false;
  while (!stop_) {
    if (written_.empty()) {
      port_.SetFastPoll(false);
      platform::WaitForAny({&sync.work, &sync.stop}, platform::kInfinite);
    } else {
      platform::WaitForAny({&completion_event_, &sync.work, &sync.stop}, kCompletionPollMs);
    }
    if (stop_) break;
    completion_event_.Reset();
    if (!thermal_) {
      PrintDotMatrixRequest(sync);
      continue;
    }
    ConfirmAnswered(sync);
    int trouble = CheckWrittenRequests();
    if (trouble == kPortReady) trouble = WriteAhead(sync);
    if (stop_) break;
    if (trouble != kPortReady) {
      HandleOutputError(sync, trouble);
      if (!written_.empty() || NextUnwrittenRequestId() != 0) SetState(opos::kStateBusy);
    }
  }
  // Release discards what the printer did not confirm; it clears the printer's buffer.
  unconfirmed_output_ = !written_.empty();
  written_.clear();
  port_.SetFastPoll(false);
  sync.output_worker_ended.Set();
}

bool CPOSPrinter::TakeNextRequest(std::vector<OutputJob>& jobs) {
  // The next request is the first one not written yet, up to its entry with an identifier;
  // pieces of a request still being sent wait for it.
  std::lock_guard lock(output_queue_mutex_);
  size_t begin = 0;
  while (begin < output_queue_.size() && output_queue_[begin].taken) ++begin;
  size_t end = begin;
  while (end < output_queue_.size() && output_queue_[end].output_id == 0) ++end;
  if (!claimed_ || end == output_queue_.size()) return false;
  for (size_t i = begin; i <= end; ++i) {
    output_queue_[i].taken = true;
    jobs.push_back(output_queue_[i]);
  }
  output_pending_ = true;
  return true;
}

void CPOSPrinter::GiveBackRequestsFrom(int32_t output_id) {
  std::lock_guard lock(output_queue_mutex_);
  size_t from = 0;
  while (from < output_queue_.size() && output_queue_[from].output_id != output_id) ++from;
  if (from == output_queue_.size()) return;
  // Back to the start of that request: the entry after the previous request's last one.
  while (from > 0 && output_queue_[from - 1].output_id == 0) --from;
  for (size_t i = from; i < output_queue_.size(); ++i) output_queue_[i].taken = false;
}

int32_t CPOSPrinter::NextUnwrittenRequestId() {
  std::lock_guard lock(output_queue_mutex_);
  for (const OutputJob& job : output_queue_) {
    if (!job.taken && job.output_id != 0) return job.output_id;
  }
  return 0;
}

int CPOSPrinter::WriteAhead(ClaimSync& sync) {
  for (;;) {
    if (stop_) return kPortReady;
    if (!written_.empty()) {
      size_t unconfirmed = 0;
      for (const WrittenRequest& r : written_) unconfirmed += r.bytes;
      if (wire_free_at_ > platform::TickCountMs() + kWriteAheadMs ||
          unconfirmed >= kMaxUnconfirmedBytes) {
        return kPortReady;
      }
    }
    std::vector<OutputJob> jobs;
    if (!TakeNextRequest(jobs)) {
      if (written_.empty()) {
        {
          // Checked again under the mutex: a request queued since must not be slept over.
          std::lock_guard lock(output_queue_mutex_);
          const bool complete_request_waiting =
              claimed_ && std::any_of(output_queue_.begin(), output_queue_.end(),
                                      [](const OutputJob& j) { return !j.taken && j.output_id != 0; });
          if (complete_request_waiting) continue;
          sync.work.Reset();
          output_pending_ = !output_queue_.empty();
        }
        GoIdle(sync);
      }
      return kPortReady;
    }
    SetState(opos::kStateBusy);
    const int32_t id = jobs.back().output_id;
    if (const int status = port_.GetPrinterStatus(); status != kPortReady) {
      GiveBackRequestsFrom(id);
      return status;
    }
    // Kept as written, with where each piece went in the link's byte stream: after a lost
    // link, what reached the printer of it can be told.
    WrittenRequest& request = written_.emplace_back();
    request.id = id;
    request.mark = NewMark();
    for (const OutputJob& job : jobs) {
      request.bytes += job.data.size();
      ComposeJob(View(job.data), job.expand_bitmaps, job.image_area, request.wire);
      request.EndPiece();
    }
    request.EndWith(CompletionRequest(request.mark));
    if (!WriteWire(request)) {
      bitmap_slots_.ForgetDownloads();
      return kWriteFailed;
    }
    for (const OutputJob& job : jobs) MarkImageArea(job.image_area);
    const uint64_t now = platform::TickCountMs();
    wire_free_at_ = std::max(wire_free_at_, now) + port_.TransferMs(request.bytes + 11);
    port_.SetFastPoll(true);
  }
}

bool CPOSPrinter::WriteWire(WrittenRequest& request) {
  request.losses = port_.Position().losses;
  request.asked_at = platform::TickCountMs();
  request.asks = 1;
  request.piece_starts.assign(request.piece_ends.size(), WrittenRequest::kNotWritten);
  for (size_t piece = 0; piece < request.piece_ends.size(); ++piece) {
    const size_t begin = request.PieceBegin(piece);
    if (!port_.WritePortAt(request.wire.data() + begin, request.piece_ends[piece] - begin,
                           request.piece_starts[piece])) {
      return false;
    }
  }
  return true;
}

bool CPOSPrinter::ConfirmAnswered(ClaimSync& sync) {
  // The printer answers in the order the requests were written: an answer confirms its
  // request and every one written before it.
  size_t confirmed = 0;
  for (size_t i = 0; i < written_.size(); ++i) {
    if (MarkAnswered(written_[i].mark)) confirmed = i + 1;
  }
  for (size_t i = 0; i < confirmed; ++i) {
    FinishRequest(sync, written_.front().id, true);
    written_.pop_front();
  }
  return confirmed > 0;
}

int CPOSPrinter::CheckWrittenRequests() {
  if (written_.empty()) return kPortReady;
  if (const int status = port_.GetPrinterStatus(); status != kPortReady) return status;
  WrittenRequest& oldest = written_.front();
  if (platform::TickCountMs() - oldest.asked_at < kCompletionResendMs) return kPortReady;
  if (oldest.asks >= kCompletionRequestsBeforeError) return kUnconfirmed;
  if (!WriteCompletionRequest(oldest.mark)) return kWriteFailed;
  ++oldest.asks;
  oldest.asked_at = platform::TickCountMs();
  return kPortReady;
}

void CPOSPrinter::HandleOutputError(ClaimSync& sync, int status) {
  // No power, no line, or a write that failed: what was written may never have arrived.
  if (status == kPortNoAnswer || status == kWriteFailed) loss_possible_ = true;
  for (;;) {
    const int32_t in_progress = written_.empty() ? NextUnwrittenRequestId() : written_.front().id;
    const int32_t response = AwaitErrorResponse(sync, kReceiptStation, status, in_progress);
    if (stop_ || response == kConfirmedMeanwhile) return;
    if (clear_during_error_) {
      clear_during_error_ = false;
      SettleWrittenRequests(sync, false);
      DropAllOutput();
      return;
    }
    if (response != opos::kErRetry) {
      // Only the request in progress goes, without an event, unless the printer
      // confirmed it before its buffer was cleared.
      SettleWrittenRequests(sync, false);
      if (in_progress != 0 && (written_.empty() || written_.front().id != in_progress))
        FinishRequest(sync, in_progress, false);
      return;
    }
    int now = port_.GetPrinterStatus();
    if (now != kPortReady) {
      // Retrying into a printer that is still not ready: give it a status round, so an
      // application that answers every error with retry at once is not flooded.
      const uint64_t until = platform::TickCountMs() + kStatusRoundMs;
      for (uint64_t t = platform::TickCountMs(); t < until; t = platform::TickCountMs()) {
        if (platform::WaitForAny({&sync.stop, &completion_event_}, uint32_t(until - t)) == 0)
          return;
        completion_event_.Reset();
        if (ConfirmAnswered(sync) && (written_.empty() || written_.front().id != in_progress))
          return;
      }
      now = port_.GetPrinterStatus();
      if (now != kPortReady) {
        status = now;
        continue;
      }
    }
    if (!SettleWrittenRequests(sync, true)) {
      status = kPortNoAnswer;
      continue;
    }
    return;
  }
}

bool CPOSPrinter::SettleWrittenRequests(ClaimSync& sync, bool retry) {
  // After trouble the printer may have printed what it was given, or may hold part of it
  // to print when it is back. Whatever it confirms is complete; the rest is cleared from
  // it and written again (or dropped by the caller), so nothing prints twice or after it
  // was reported dropped.
  ConfirmAnswered(sync);
  if (written_.empty()) return true;
  if (retry && loss_possible_ && port_.Position().losses == written_.front().losses + 1)
    return SettleAfterLostLink(sync);
  if (retry && !loss_possible_ && PrinterProcessedAll(kProcessedProbeMs, &sync.stop)) {
    while (!written_.empty()) {
      FinishRequest(sync, written_.front().id, true);
      written_.pop_front();
    }
    return true;
  }
  if (stop_) return true;
  ClearPrinterBuffer(&sync.stop);
  ConfirmAnswered(sync);
  if (!written_.empty()) GiveBackRequestsFrom(written_.front().id);
  written_.clear();
  wire_free_at_ = 0;
  loss_possible_ = false;
  return true;
}

bool CPOSPrinter::SettleAfterLostLink(ClaimSync& sync) {
  // The link lost the printer once since these requests were written and found it again.
  // The printer may have gone on printing what it held and answered into the dead
  // connection. It is asked first: an answer means it processed everything that reached
  // it. A request whose bytes all reached it (acknowledged by its TCP, taken by the USB
  // device) printed then and is complete. Of a request that reached it in part, only the
  // rest is written, from where the printer's stream stopped; the requests after it did
  // not reach it and are written again whole. Nothing is cleared: the printer holds
  // nothing any more.
  if (!PrinterProcessedAll(kProcessedAfterLossMs, &sync.stop)) return stop_;
  ConfirmAnswered(sync);
  const CPrinterPort::StreamPosition position = port_.Position();
  ReachedPart reached = ReachedPart::kNone;
  while (!written_.empty() && written_.front().losses + 1 == position.losses &&
         (reached = written_.front().KeepUnreached(position.reached_at_loss)) == ReachedPart::kAll) {
    FinishRequest(sync, written_.front().id, true);
    written_.pop_front();
  }
  wire_free_at_ = 0;
  if (!written_.empty() && reached == ReachedPart::kPart) {
    if (written_.size() > 1) GiveBackRequestsFrom(written_[1].id);
    written_.resize(1);
    // Lost again while the rest is written: the next retry settles it the same way.
    if (!WriteWire(written_.front())) return false;
  } else {
    if (!written_.empty()) GiveBackRequestsFrom(written_.front().id);
    written_.clear();
  }
  loss_possible_ = false;
  return true;
}

void CPOSPrinter::DropAllOutput() {
  std::lock_guard lock(output_queue_mutex_);
  output_queue_.clear();
  written_.clear();
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
}

int32_t CPOSPrinter::AwaitErrorResponse(ClaimSync& sync, int32_t station, int status,
                                        int32_t in_progress) {
  if (releasing_ && ThisBuild().error_while_releasing_discards_output) {
    // Nobody is asked: everything queued goes, as a ClearOutput during the error would do.
    clear_during_error_ = true;
    return opos::kErClear;
  }
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
  properties_.SetNumber(kPropErrorStation, station);
  properties_.SetNumber(kPropErrorLevel, level);
  properties_.SetString(opos::kPropErrorString, text);

  const uint64_t serial = ++errors_raised_;
  sync.error_response.Reset();
  QueueEvent(sync, {EventKind::Error, {result, extended, opos::kLocusOutput, opos::kErRetry}});
  // Woken by the answer, by ClearOutput, by release, or by the printer confirming the
  // request in progress: it printed what it held once it was back, so it is complete and
  // the application's answer, when it comes, changes nothing. An answer still owed to an
  // earlier error event (cleared before the application saw it) is not this one's.
  int32_t response = opos::kErRetry;
  for (;;) {
    const int woke = platform::WaitForAny({&sync.error_response, &sync.stop, &completion_event_},
                                          platform::kInfinite);
    if (stop_) break;
    if (woke == 2) {
      completion_event_.Reset();
      if (in_progress != 0 && ConfirmAnswered(sync) &&
          (written_.empty() || written_.front().id != in_progress)) {
        response = kConfirmedMeanwhile;
        break;
      }
      continue;
    }
    sync.error_response.Reset();
    if (clear_during_error_ || errors_answered_ >= serial) {
      response = error_response_;
      break;
    }
  }
  properties_.SetNumber(kPropErrorLevel, kErrorLevelNone);
  properties_.SetString(opos::kPropErrorString, "");
  error_wait_ = false;
  if (!stop_ && response != kConfirmedMeanwhile && ThisBuild().pause_after_error_ms > 0)
    platform::WaitForOne(sync.stop, ThisBuild().pause_after_error_ms);
  return response;
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
  }
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
