// CheckHealth at its three levels, DirectIO, and the event path of the display's events
// (power status updates, direct I/O): a delivery thread and the hidden window that raises
// each event on the thread that opened the device.
#include "display_codes.h"
#include "line_display.h"
#include "platform/ui_provider.h"

namespace line_display {

namespace {
constexpr int32_t kInternal = 1, kExternal = 2, kInteractive = 3;
constexpr uint16_t kDisplayEventCommand = 0xFFFF;
}  // namespace

int32_t CLineDisplay::CheckHealth(int32_t level) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  switch (level) {
    case kInternal:
    case kExternal:
      return Finish(TestOnline());
    case kInteractive:
      break;
    default:
      return Finish(opos::kIllegal);
  }
  platform::ui::HealthCheckDialog dialog;
  dialog.caption = "CheckHealth";
  dialog.text = "Please Push the [Start] button to start the CheckHealth Method.";
  dialog.on_start = [this] {
    if (TestOnline() != opos::kSuccess) return;
    ClearText();
    DisplayText("CheckHealth Ok!", 0);
  };
  platform::ui::Current().RunHealthCheckDialog(dialog);
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::DirectIO(int32_t command, int32_t* /*data*/, std::string* /*text*/) {
  return Finish(command == 1 ? opos::kSuccess : opos::kIllegal);
}

void CLineDisplay::EventDeliveryLoop(ClaimEvents& events) {
  for (;;) {
    platform::WaitForAll(
        {&events.event_queue_not_empty, &events.not_frozen, &events.not_frozen_by_control_object},
        platform::kInfinite);
    if (stop_) break;
    DisplayEventRecord record;
    {
      std::lock_guard lock(state_mutex_);
      if (event_queue_.empty()) {
        events.event_queue_not_empty.Reset();
        continue;
      }
      record = event_queue_.front();
      event_queue_.pop_front();
    }
    hand_off_.Deliver(record, *window_, kDisplayEventCommand, events.delivered, events.stop);
    if (stop_) break;
  }
}

bool CLineDisplay::OnWindowCommand(uint16_t command) {
  if (command != kDisplayEventCommand) return false;
  std::optional<DisplayEventRecord> record = hand_off_.Take();
  if (!record) return true;  // its claim has ended
  const uint64_t generation = claim_generation_;
  if (record->kind == opos::kDirectIOEvent)
    callbacks_.DirectIO(record->number, record->data, record->text);
  if (record->kind == opos::kStatusUpdateEvent) callbacks_.StatusUpdate(record->number);
  if (events_ && generation == claim_generation_) events_->delivered.Set();
  return true;
}

}  // namespace line_display
