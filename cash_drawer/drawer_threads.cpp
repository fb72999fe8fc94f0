// The threads of a claimed drawer besides event delivery: poll, status change, beep and
// recheck. Each ends on the stop flag and signals its own ended event.
#include "cash_drawer.h"
#include "drawer_codes.h"
#include "platform/ui_provider.h"

namespace service_core {

namespace {
constexpr uint32_t kPollIntervalMs = 500;
}  // namespace

void CCashDrawer::StartThreads(DrawerSync& sync) {
  event_delivery_ = std::thread([this, &sync] { EventDeliveryLoop(sync); });
  status_change_ = std::thread([this, &sync] { StatusChangeLoop(sync); });
  poll_ = std::thread([this, &sync] { PollLoop(sync); });
  beep_ = std::thread([this, &sync] { BeepLoop(sync); });
  recheck_ = std::thread([this, &sync] { RecheckLoop(sync); });
}

void CCashDrawer::StopThreads(DrawerSync& sync) {
  sync.stop.Set();
  for (platform::Event* wake :
       {&sync.recheck, &sync.status_changed, &sync.poll, &sync.beep, &sync.events_not_frozen,
        &sync.not_frozen_by_control_object, &sync.queue_not_empty}) {
    wake->Set();
  }
  platform::WaitForAll({&sync.delivery_ended, &sync.status_change_ended, &sync.poll_ended,
                        &sync.beep_ended, &sync.recheck_ended},
                       platform::kInfinite);
  for (std::thread* t : {&event_delivery_, &status_change_, &poll_, &beep_, &recheck_}) {
    if (t->joinable()) t->join();
  }
}

void CCashDrawer::PollLoop(DrawerSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.poll, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.poll.Reset();
    if (!claimed_) {
      // Claimed is set once the claim's pause is over: its first pass waits a round.
      if (platform::WaitForOne(sync.stop, kPollIntervalMs) == 0) break;
      continue;
    }
    // A WaitForDrawerClose needs the drawer sensed also while the device is disabled.
    if (device_enabled_ || close_waiters_ > 0) PollOnce(sync);
    sync.poll.Set();
    if (platform::WaitForOne(sync.stop, kPollIntervalMs) == 0) break;
  }
  sync.poll_ended.Set();
}

void CCashDrawer::NoteSensedState(DrawerSync& sync, int32_t open) {
  current_state_ = open;
  {
    std::lock_guard lock(queue_mutex_);
    // Compared with the newest state handed over, so that a brief state followed by the
    // state before it reaches the status-change thread as two changes. Not with the last
    // state reported: a disabled drawer reports nothing, and its WaitForDrawerClose still
    // needs the close that brings the drawer back to the state reported before.
    const bool changed = open != last_handed_;
    // An enabled drawer whose report disagrees (just enabled, or after a recheck).
    const bool unreported = sensed_states_.empty() && device_enabled_ && open != last_reported_;
    if (!changed && !unreported) return;
    sensed_states_.push_back(open);
    last_handed_ = open;
  }
  sync.status_changed.Set();
}

void CCashDrawer::StatusChangeLoop(DrawerSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.status_changed, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    // Reset before taking states: one added after this point signals again.
    sync.status_changed.Reset();
    for (;;) {
      int32_t state;
      {
        std::lock_guard lock(queue_mutex_);
        if (sensed_states_.empty()) break;
        state = sensed_states_.front();
        sensed_states_.pop_front();
      }
      if (state == drawer::kDrawerClosed)
        sync.drawer_closed.Set();
      else
        sync.drawer_closed.Reset();
      // Status updates only while enabled; a disabled drawer reports afresh when enabled.
      if (claimed_ && device_enabled_ && state != last_reported_) {
        last_reported_ = state;
        QueueStatusUpdate(sync, state);
      }
    }
  }
  sync.status_change_ended.Set();
}

void CCashDrawer::RecheckLoop(DrawerSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.recheck, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.recheck.Reset();
    if (last_reported_ != current_state_) NoteSensedState(sync, current_state_);
  }
  sync.recheck_ended.Set();
}

void CCashDrawer::BeepLoop(DrawerSync& sync) {
  for (;;) {
    // The event stays set while WaitForDrawerClose wants beeping.
    platform::WaitForAny({&sync.beep, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    platform::ui::Current().Beep(static_cast<unsigned>(beep_frequency_.load()),
                                 static_cast<unsigned>(beep_duration_.load()));
    const int32_t delay = beep_delay_;
    if (delay > 0 && platform::WaitForOne(sync.stop, static_cast<uint32_t>(delay)) == 0) break;
  }
  sync.beep_ended.Set();
}

}  // namespace service_core
