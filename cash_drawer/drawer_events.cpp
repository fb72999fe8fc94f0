// The drawer's event queue, its delivery thread, and the hidden window that raises each
// event on the thread that opened the device.
#include "cash_drawer.h"
#include "opos_codes.h"

namespace service_core {

namespace {
// The printer's window raises its events on 0xFFFF; the drawer's on 0xFFFE.
constexpr uint16_t kDrawerEventCommand = 0xFFFE;
}  // namespace

void CCashDrawer::QueueStatusUpdate(DrawerSync& sync, int32_t status) {
  std::lock_guard lock(queue_mutex_);
  event_queue_.push_back({EventKind::StatusUpdate, {status}});
  sync.queue_not_empty.Set();
}

void CCashDrawer::EventDeliveryLoop(DrawerSync& sync) {
  for (;;) {
    platform::WaitForAll(
        {&sync.queue_not_empty, &sync.events_not_frozen, &sync.not_frozen_by_control_object},
        platform::kInfinite);
    if (stop_) break;
    EventRecord record;
    {
      std::lock_guard lock(queue_mutex_);
      if (event_queue_.empty()) {
        sync.queue_not_empty.Reset();
        continue;
      }
      record = event_queue_.front();
      event_queue_.pop_front();
    }
    hand_off_.Deliver(record, *window_, kDrawerEventCommand, sync.delivered, sync.stop);
    if (stop_) break;
    std::lock_guard lock(queue_mutex_);
    if (event_queue_.empty()) sync.queue_not_empty.Reset();
  }
  {
    std::lock_guard lock(queue_mutex_);
    event_queue_.clear();
  }
  sync.delivery_ended.Set();
}

bool CCashDrawer::OnWindowCommand(uint16_t command) {
  if (command != kDrawerEventCommand) return false;
  const std::optional<EventRecord> record = hand_off_.Take();
  if (!record) return true;  // its claim has ended
  const uint64_t generation = claim_generation_;
  if (record->kind == EventKind::StatusUpdate) {
    callbacks_.StatusUpdate(record->values[0]);
  } else if (record->kind == EventKind::DirectIO) {
    int32_t data = record->values[1];
    std::string text;
    callbacks_.DirectIO(record->values[0], data, text);
  }
  // The callback may have released (or released and claimed again) the device.
  if (sync_ && generation == claim_generation_) sync_->delivered.Set();
  return true;
}

}  // namespace service_core
