// TransactionPrint: while a transaction is open the send routine collects every finished
// byte string; closing it hands them over in order and, on the thermal model printing
// synchronously, waits until the printer confirms it printed them all.
//
// The transaction-failed flag is the output path's error-wait flag and the
// discard-transaction flag its clear-during-error flag: a failed flush leaves the jobs
// collected, and ClearOutput after it makes the next transaction start empty.
#include <algorithm>

#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"
#include "print_data/text_print.h"

namespace service_core {

namespace {
constexpr int32_t kReceiptStation = 2;
constexpr int32_t kTransactionBegin = 11;  // PTR_TP_TRANSACTION
constexpr int32_t kTransactionEnd = 12;    // PTR_TP_NORMAL
constexpr int32_t kEndOfTransactionId = -1;
constexpr uint32_t kCompletionPollMs = 20;
constexpr uint64_t kCompletionResendMs = 10000;
// A printer that leaves this many completion requests unanswered is reported as failed
// rather than waited for without end.
constexpr int kCompletionRequestsBeforeFailure = 3;
}  // namespace

int32_t CPOSPrinter::TransactionPrint(int32_t station, int32_t control) {
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  if (station != kReceiptStation) {
    result_code_extended_ = 0;
    return Finish(opos::kIllegal);
  }
  if (control == kTransactionBegin) {
    if (properties_.Number(opos::kPropAsyncMode) != 1 && clear_during_error_) {
      clear_during_error_ = false;
      error_wait_ = false;
      std::lock_guard lock(transaction_queue_mutex_);
      transaction_queue_.clear();
    }
    transaction_open_ = true;
    return Finish(opos::kSuccess);
  }
  if (control == kTransactionEnd) {
    transaction_open_ = false;
    return Finish(FlushTransaction());
  }
  return Finish(opos::kIllegal);
}

int32_t CPOSPrinter::FlushTransaction() {
  const bool asynchronous = properties_.Number(opos::kPropAsyncMode) == 1;
  if (!asynchronous && thermal_ && transaction_mark_ != 0) {
    // Flushed again after a flush the printer did not confirm.
    if (const int32_t result = ResultForPortStatus(port_.GetPrinterStatus());
        result != opos::kSuccess) {
      return result;
    }
    const int32_t settled = SettleEarlierFlush();
    port_.SetFastPoll(false);
    if (settled != kCleared && settled != opos::kSuccess) return settled;
    transaction_mark_ = 0;
    if (settled == opos::kSuccess) {
      // Only what was collected since is left to print.
      error_wait_ = false;
      std::lock_guard lock(transaction_queue_mutex_);
      transaction_queue_.erase(
          transaction_queue_.begin(),
          transaction_queue_.begin() + std::min(transaction_unconfirmed_jobs_, transaction_queue_.size()));
      if (transaction_queue_.empty()) return opos::kSuccess;
    }
  }
  size_t flushing;
  {
    std::lock_guard lock(transaction_queue_mutex_);
    flushing = transaction_queue_.size();
  }
  if (!asynchronous && thermal_) return WriteTransactionAndWait(flushing);
  if (asynchronous) {
    std::lock_guard lock(transaction_queue_mutex_);
    transaction_queue_.push_back({{0}, kReceiptStation, kEndOfTransactionId, false});
  } else {
    output_pending_ = true;
  }

  for (size_t index = 0;; ++index) {
    OutputJob job;
    {
      // Released while the job is handed over: the send routine may take other locks.
      std::lock_guard lock(transaction_queue_mutex_);
      if (index >= transaction_queue_.size()) break;
      job = transaction_queue_[index];
    }
    const bool end_of_transaction = job.output_id == kEndOfTransactionId;
    const std::string_view bytes(reinterpret_cast<const char*>(job.data.data()), job.data.size());
    const int32_t result =
        SendData(job.station, bytes, !end_of_transaction,
                 job.expand_bitmaps ? BitmapReferences::kExpand : BitmapReferences::kKeep,
                 job.image_area);
    if (result != opos::kSuccess) {
      error_wait_ = true;
      if (asynchronous) {
        // The end marker belongs to this flush only; a later flush adds its own.
        std::lock_guard lock(transaction_queue_mutex_);
        if (!transaction_queue_.empty() && transaction_queue_.back().output_id == kEndOfTransactionId)
          transaction_queue_.pop_back();
      } else {
        output_pending_ = false;
      }
      return result;
    }
  }

  {
    std::lock_guard lock(transaction_queue_mutex_);
    transaction_queue_.clear();
  }
  if (!asynchronous) {
    error_wait_ = false;
    output_pending_ = false;
  }
  return opos::kSuccess;
}

int32_t CPOSPrinter::WriteTransactionAndWait(size_t flushing) {
  if (const int32_t result = ResultForPortStatus(port_.GetPrinterStatus());
      result != opos::kSuccess) {
    error_wait_ = true;
    return result;
  }
  // Kept as written, with where each piece went in the link's byte stream: after a lost
  // link, what reached the printer of it can be told.
  WrittenRequest& flush = transaction_flush_;
  flush = {};
  flush.mark = NewMark();
  std::vector<ImageArea> image_areas;
  {
    std::lock_guard lock(transaction_queue_mutex_);
    for (const OutputJob& job : transaction_queue_) {
      const std::string_view bytes(reinterpret_cast<const char*>(job.data.data()), job.data.size());
      ComposeJob(bytes, job.expand_bitmaps, job.image_area, flush.wire);
      flush.EndPiece();
      image_areas.push_back(job.image_area);
    }
  }
  flush.EndWith(CompletionRequest(flush.mark));
  output_pending_ = true;
  transaction_mark_ = flush.mark;
  transaction_unconfirmed_jobs_ = flushing;
  transaction_loss_possible_ = false;
  int32_t result = opos::kSuccess;
  if (!WriteWire(flush)) {
    // Part of it may have gone out and may still print: the next flush settles it.
    bitmap_slots_.ForgetDownloads();
    error_wait_ = true;
    transaction_loss_possible_ = true;
    result_code_extended_ = opos::kExtWriteFailed;
    result = opos::kFailure;
  } else {
    for (const ImageArea area : image_areas) MarkImageArea(area);
    result = AwaitTransactionCompletion(flush.mark);
    if (result == opos::kSuccess) {
      std::lock_guard lock(transaction_queue_mutex_);
      transaction_queue_.clear();
    }
  }
  port_.SetFastPoll(false);
  output_pending_ = false;
  return result;
}

int32_t CPOSPrinter::AwaitTransactionCompletion(uint32_t mark) {
  port_.SetFastPoll(true);
  uint64_t sent_at = platform::TickCountMs();
  int requests = 1;
  for (;;) {
    if (MarkAnswered(mark)) {
      transaction_mark_ = 0;
      error_wait_ = false;
      return opos::kSuccess;
    }
    // The link turns a low clear-to-send (power lost) into its offline condition.
    const int status = port_.GetPrinterStatus();
    if (status == kPortReady && stop_) return opos::kSuccess;
    if (status != kPortReady) {
      error_wait_ = true;
      transaction_loss_possible_ = status == kPortNoAnswer;
      return ResultForPortStatus(status);
    }
    if (platform::TickCountMs() - sent_at >= kCompletionResendMs) {
      if (requests >= kCompletionRequestsBeforeFailure || !WriteCompletionRequest(mark)) {
        error_wait_ = true;
        result_code_extended_ = opos::kExtWriteFailed;
        return opos::kFailure;
      }
      ++requests;
      sent_at = platform::TickCountMs();
    }
    platform::WaitForOne(completion_event_, kCompletionPollMs);
    completion_event_.Reset();
  }
}

int32_t CPOSPrinter::SettleEarlierFlush() {
  // The printer may have printed the earlier flush once it was back (its answer came
  // late), or may still hold part of it; either way it must not print twice.
  if (MarkAnswered(transaction_mark_)) return opos::kSuccess;
  if (!transaction_loss_possible_) {
    if (PrinterProcessedAll(kProcessedProbeMs, nullptr)) return opos::kSuccess;
    ClearPrinterBuffer(nullptr);
    return kCleared;
  }
  // Bytes may have been lost with the link. Lost once and found again, the printer is
  // asked whether it processed what reached it; what of the flush did reach it printed,
  // and only the rest is written.
  WrittenRequest& flush = transaction_flush_;
  const CPrinterPort::StreamPosition position = port_.Position();
  if (flush.wire.empty() || flush.losses + 1 != position.losses) {
    ClearPrinterBuffer(nullptr);
    return kCleared;
  }
  if (!PrinterProcessedAll(kProcessedAfterLossMs, nullptr)) {
    result_code_extended_ = opos::kExtWriteFailed;
    return opos::kFailure;
  }
  if (MarkAnswered(transaction_mark_)) return opos::kSuccess;
  switch (flush.KeepUnreached(position.reached_at_loss)) {
    case ReachedPart::kAll:
      return opos::kSuccess;
    case ReachedPart::kNone:
      return kCleared;  // nothing of it reached the printer
    case ReachedPart::kPart:
      break;
  }
  output_pending_ = true;
  const uint32_t mark = transaction_mark_;
  if (!WriteWire(flush)) {
    error_wait_ = true;
    result_code_extended_ = opos::kExtWriteFailed;
    output_pending_ = false;
    return opos::kFailure;
  }
  const int32_t result = AwaitTransactionCompletion(mark);
  output_pending_ = false;
  return result;
}

}  // namespace service_core
