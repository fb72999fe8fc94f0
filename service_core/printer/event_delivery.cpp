// The event queue, the delivery thread and the hidden window that raises each event on
// the thread that opened the device.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr uint16_t kPrinterEventCommand = 0xFFFF;
}  // namespace

void CPOSPrinter::QueueEvent(const EventRecord& record) {
  if (sync_) QueueEvent(*sync_, record);
}

void CPOSPrinter::QueueEvent(ClaimSync& sync, const EventRecord& record) {
  std::lock_guard lock(event_queue_mutex_);
  event_queue_.push_back(record);
  sync.event_queue.Set();
}

void CPOSPrinter::EventDeliveryLoop(ClaimSync& sync) {
  for (;;) {
    platform::WaitForAll({&sync.event_queue, &sync.property_gate, &sync.control_object_gate},
                         platform::kInfinite);
    if (stop_) break;
    EventRecord record;
    {
      std::lock_guard lock(event_queue_mutex_);
      if (event_queue_.empty()) {
        sync.event_queue.Reset();
        continue;
      }
      record = event_queue_.front();
      event_queue_.pop_front();
    }
    const bool droppable =
        record.kind == EventKind::Error || record.kind == EventKind::OutputComplete;
    if (discard_events_ && droppable) {
      // Events of output the application cleared while events were frozen. A dropped
      // error counts as answered, so the output worker does not wait for it.
      if (record.kind == EventKind::Error) {
        ++errors_answered_;
        sync.error_response.Set();
      }
      if (--discard_count_ <= 0) discard_events_ = false;
    } else {
      // The application's thread raises it while it pumps.
      hand_off_.Deliver(record, *window_, kPrinterEventCommand, sync.delivered, sync.stop);
      if (stop_) break;
    }
    std::lock_guard lock(event_queue_mutex_);
    if (event_queue_.empty()) sync.event_queue.Reset();
  }
  {
    std::lock_guard lock(event_queue_mutex_);
    event_queue_.clear();
  }
  sync.event_delivery_ended.Set();
}

bool CPOSPrinter::OnWindowCommand(uint16_t command) {
  if (command != kPrinterEventCommand) return false;
  std::optional<EventRecord> record = hand_off_.Take();
  if (!record) return true;  // its claim has ended
  const uint64_t generation = claim_generation_;
  Raise(*record);
  // The callback may have released (or released and claimed again) the device.
  if (sync_ && generation == claim_generation_) sync_->delivered.Set();
  return true;
}

void CPOSPrinter::Raise(EventRecord& record) {
  auto& v = record.values;
  switch (record.kind) {
    case EventKind::StatusUpdate:
      callbacks_.StatusUpdate(v[0]);
      break;
    case EventKind::OutputComplete:
      callbacks_.OutputComplete(v[0]);
      break;
    case EventKind::DirectIO: {
      std::string text;
      callbacks_.DirectIO(v[0], v[1], text);
      break;
    }
    case EventKind::Error: {
      const uint64_t generation = claim_generation_;
      SetState(opos::kStateError);
      int32_t response = v[3];
      callbacks_.Error(v[0], v[1], v[2], response);
      {
        // Unless the callback closed the device meanwhile.
        std::lock_guard lock(event_queue_mutex_);
        if (state_ == opos::kStateError) state_ = opos::kStateIdle;
      }
      if (sync_ && generation == claim_generation_) {
        error_response_ = response;
        ++errors_answered_;
        sync_->error_response.Set();
      }
      break;
    }
  }
}

}  // namespace service_core
