// OpenDrawer, WaitForDrawerClose, CheckHealth and DirectIO.
#include <cstdio>

#include "cash_drawer.h"
#include "drawer_codes.h"
#include "opos_codes.h"
#include "platform/ui_provider.h"

namespace service_core {

namespace {
// ESC p m t1 t2: a pulse of 200 ms on and 400 ms off (units of 2 ms) on pin 2 or pin 5.
constexpr uint8_t kKickPin2[] = {0x1B, 0x70, 0x30, 0x64, 0xC8};
constexpr uint8_t kKickPin5[] = {0x1B, 0x70, 0x31, 0x64, 0xC8};
constexpr unsigned kAlreadyOpenBeepHz = 1000, kAlreadyOpenBeepMs = 50;
constexpr int32_t kInternal = 1, kExternal = 2, kInteractive = 3;
constexpr int32_t kDirectIoNoOperation = 1;

// Counts a WaitForDrawerClose in progress for the poll thread.
class CloseWaiter {
 public:
  explicit CloseWaiter(std::atomic<int32_t>& count) : count_(count) { ++count_; }
  ~CloseWaiter() { --count_; }
  CloseWaiter(const CloseWaiter&) = delete;
  CloseWaiter& operator=(const CloseWaiter&) = delete;

 private:
  std::atomic<int32_t>& count_;
};
}  // namespace

int32_t CCashDrawer::OpenDrawer() {
  if (ReadState() == opos::kStateClosed) return Finish(opos::kClosed);
  if (!claimed_ || !sync_) return Finish(opos::kNotClaimed);

  if (current_state_ == drawer::kDrawerOpen) {
    // Nothing to kick: tell the person at the till, and report the drawer again if its
    // last report says otherwise.
    platform::ui::Current().Beep(kAlreadyOpenBeepHz, kAlreadyOpenBeepMs);
    sync_->recheck.Set();
    platform::SleepMs(ThisBuild().drawer_open_settle_ms);
    return Finish(opos::kSuccess);
  }

  const uint8_t* kick = nullptr;
  if (config_.connector_pin == 2) kick = kKickPin2;
  if (config_.connector_pin == 5) kick = kKickPin5;
  if (kick) {
    // A printer still busy after the wait would get the kick in the middle of its output.
    if (!WaitForIdlePrinter()) return Finish(opos::kIllegal);
    if (const auto printer = port_.SharingPrinter()) {
      if (PrinterInTrouble(*printer)) return Finish(opos::kIllegal);
    } else if (port_.GetPrinterStatus() != kPortReady) {
      // Silent or offline: the kick would not reach the drawer now.
      return Finish(opos::kIllegal);
    }
    if (!port_.WritePort(kick, sizeof kKickPin2)) return Finish(opos::kIllegal);
  }
  // Taken to be open until the poll says otherwise.
  sync_->drawer_closed.Reset();
  platform::SleepMs(ThisBuild().drawer_open_settle_ms);
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::WaitForDrawerClose(int32_t beep_timeout, int32_t frequency, int32_t duration,
                                        int32_t delay) {
  if (ReadState() == opos::kStateClosed) return Finish(opos::kClosed);
  if (!claimed_ || !sync_) return Finish(opos::kNotClaimed);
  DrawerSync& sync = *sync_;
  const CloseWaiter waiter(close_waiters_);
  // A drawer that cannot be sensed could be waited for without end.
  if (!port_.HasStatusCapability()) return Finish(opos::kIllegal);
  sync.poll.Set();  // a disabled drawer is sensed for the wait too

  if (!WaitForIdlePrinter()) return Finish(opos::kIllegal);
  if (const auto printer = port_.SharingPrinter()) {
    if (PrinterInTrouble(*printer)) return Finish(opos::kIllegal);
  } else if (port_.RecentError()) {
    return Finish(opos::kIllegal);
  }
  // Time for the poll to see a drawer just kicked.
  for (int i = 0; i < ThisBuild().drawer_close_pauses; ++i) platform::MessagePumpingPause();

  if (SensedOpen()) {
    const uint32_t limit = beep_timeout < 0 ? platform::kInfinite : uint32_t(beep_timeout);
    if (platform::WaitForAny({&sync.drawer_closed, &sync.stop}, limit) == platform::kWaitTimeout) {
      beep_frequency_ = frequency;
      beep_duration_ = duration;
      beep_delay_ = delay;
      sync.beep.Set();
      platform::WaitForAny({&sync.drawer_closed, &sync.stop}, platform::kInfinite);
      sync.beep.Reset();
    }
  }
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::CheckHealth(int32_t level) {
  if (!claimed_) return Finish(opos::kNotClaimed);
  if (!device_enabled_) return Finish(opos::kDisabled);
  if (level == kInternal || level == kExternal) return Finish(opos::kSuccess);
  if (level != kInteractive) return Finish(opos::kIllegal);

  platform::ui::HealthCheckDialog dialog;
  dialog.caption = "CheckHealth";
  dialog.text = "Please Push the [Start] button to start the CheckHealth Method.";
  dialog.on_start = [this] {
    const int32_t result = OpenDrawer();
    if (result == opos::kSuccess) return;
    char text[64];
    std::snprintf(text, sizeof text, "CashDrawer can't use.\nResultCode : %d", result);
    platform::ui::Current().MessageBox(text, "CashDrawer", platform::ui::kOk);
  };
  platform::ui::Current().RunHealthCheckDialog(dialog);
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::DirectIO(int32_t command, int32_t* /*data*/, std::string* /*text*/) {
  return Finish(command == kDirectIoNoOperation ? opos::kSuccess : opos::kIllegal);
}

}  // namespace service_core
