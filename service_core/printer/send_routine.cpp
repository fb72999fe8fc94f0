// The send routine every print method ends in, the writes it shares with the output
// worker, and ClearOutput.
#include "opos_codes.h"
#include "platform/event.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr int32_t kReceiptStation = 2;
// A dot-matrix printer idle for longer than this sleeps; one line feed wakes it.
constexpr uint64_t kDotMatrixWakeAfterMs = 1000;
constexpr uint8_t kLineFeed = 0x0A;

std::vector<uint8_t> CopyOf(std::string_view bytes) { return {bytes.begin(), bytes.end()}; }
}  // namespace

bool CPOSPrinter::WriteBytes(std::string_view bytes) {
  if (bytes.empty()) return true;
  return port_.WritePort(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) != 0;
}

bool CPOSPrinter::WriteJob(std::string_view bytes, bool expand_bitmaps, ImageArea image_area) {
  std::vector<uint8_t> wire;
  ComposeJob(bytes, expand_bitmaps, image_area, wire);
  if (!WriteBytes({reinterpret_cast<const char*>(wire.data()), wire.size()})) {
    // What the printer holds of an image it was being sent is unknown: sent again when used.
    bitmap_slots_.ForgetDownloads();
    return false;
  }
  MarkImageArea(image_area);
  return true;
}

void CPOSPrinter::ComposeJob(std::string_view bytes, bool expand_bitmaps, ImageArea image_area,
                             std::vector<uint8_t>& wire) {
  // The image area is given up first: a write that fails half-way leaves it holding
  // neither image.
  if (image_area != ImageArea::kUntouched) bitmap_slots_.ForgetDownloads();
  auto append = [&wire](std::string_view piece) {
    wire.insert(wire.end(), piece.begin(), piece.end());
    return true;
  };
  // The whole job is written, also past a zero byte; references to an empty slot vanish.
  if (expand_bitmaps) {
    bitmap_slots_.WriteJob(bytes, append);
  } else {
    append(bytes);
  }
}

void CPOSPrinter::MarkImageArea(ImageArea image_area) {
  if (image_area == ImageArea::kSlot1) bitmap_slots_.MarkDownloaded(1);
  if (image_area == ImageArea::kSlot2) bitmap_slots_.MarkDownloaded(2);
}

void CPOSPrinter::ForgetBitmapDownloads() {
  bitmap_slots_.ForgetDownloads();
  bitmap_downloaded_[0] = bitmap_downloaded_[1] = false;
}

int32_t CPOSPrinter::SendData(int32_t station, std::string_view bytes, bool more_follows,
                              BitmapReferences references, ImageArea image_area) {
  result_code_extended_ = 0;
  if (!claimed_) return opos::kNotClaimed;
  if (station != kReceiptStation) return opos::kIllegal;
  const bool expand = references == BitmapReferences::kExpand;
  const bool asynchronous = properties_.Number(opos::kPropAsyncMode) == 1;

  if (bytes.size() > kMaxSendBytes) {
    // Refused whole. Pieces of the same request already queued would otherwise be printed
    // as part of the next request: they go too.
    if (asynchronous && !transaction_open_) {
      std::lock_guard lock(output_queue_mutex_);
      while (!output_queue_.empty() && output_queue_.back().output_id == 0) output_queue_.pop_back();
    }
    return opos::kIllegal;
  }

  if (transaction_open_) {
    std::lock_guard lock(transaction_queue_mutex_);
    transaction_queue_.push_back({CopyOf(bytes), station, 0, expand, image_area});
    return opos::kSuccess;
  }

  if (asynchronous) {
    bool complete = false;
    {
      std::lock_guard lock(output_queue_mutex_);
      OutputJob job{CopyOf(bytes), station, 0, expand, image_area};
      if (!more_follows) {
        job.output_id = ++output_id_;
        complete = true;
      }
      output_queue_.push_back(std::move(job));
      output_pending_ = true;
    }
    if (complete && sync_) sync_->work.Set();
    return opos::kSuccess;
  }

  if (const int32_t result = ResultForPortStatus(port_.GetPrinterStatus());
      result != opos::kSuccess) {
    return result;
  }
  int32_t result = opos::kSuccess;
  const uint64_t now = platform::TickCountMs();
  if (!thermal_ && now - last_sync_print_ms_ > kDotMatrixWakeAfterMs &&
      !port_.WritePort(&kLineFeed, 1)) {
    result_code_extended_ = opos::kExtWriteFailed;
    result = opos::kFailure;  // the print itself is still tried
  }
  last_sync_print_ms_ = now;
  if (!WriteJob(bytes, expand, image_area)) {
    result_code_extended_ = opos::kExtWriteFailed;
    return opos::kFailure;
  }
  return result;
}

int32_t CPOSPrinter::ClearOutput() {
  result_code_extended_ = 0;
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (error_wait_) {
    // The worker discards everything, the failed request included, when it wakes.
    clear_during_error_ = true;
    if (properties_.Number(opos::kPropAsyncMode) != 1 && transaction_mark_ != 0) {
      // A failed transaction flush: what the printer still holds of it must not print.
      ClearPrinterBuffer(nullptr);
      transaction_mark_ = 0;
    }
  } else {
    // Requests not started yet go now; the one being printed finishes with its event.
    std::lock_guard lock(output_queue_mutex_);
    DiscardAllButCurrentRequest();
  }
  if (sync_) sync_->error_response.Set();
  // Held-back sideways text is output too: it goes, and the printer leaves page mode.
  LeavePageMode();
  return Finish(opos::kSuccess);
}

void CPOSPrinter::DiscardAllButCurrentRequest() {
  // What the worker has written to the printer stays until it is confirmed.
  size_t keep = 0;
  while (keep < output_queue_.size() && output_queue_[keep].taken) ++keep;
  output_queue_.resize(keep);
}

int32_t CPOSPrinter::ResultForPortStatus(int status) {
  if (status == kPortCoverOpen || status == kPortPaperEmpty) {
    result_code_extended_ = status == kPortCoverOpen ? opos::kExtCoverOpen : opos::kExtRecEmpty;
    return opos::kExtended;
  }
  if (status != kPortReady) {
    result_code_extended_ = opos::kExtWriteFailed;
    return opos::kFailure;
  }
  return opos::kSuccess;
}

}  // namespace service_core
