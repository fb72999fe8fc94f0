// Open, claim, release and close: the states of the line display service object.
#include "device_config.h"
#include "display_bytes.h"
#include "display_codes.h"
#include "line_display.h"
#include "platform/registry.h"

namespace line_display {

namespace reg = platform::registry;

namespace {
constexpr int kEventWindowId = 1234;
constexpr int32_t kMinimumClaimTimeoutMs = 1000;
constexpr uint32_t kOpenRetryMs = 100;
}  // namespace

CLineDisplay::CLineDisplay() {
  for (auto& row : shadow_) row.fill(0x7F);
}

CLineDisplay::~CLineDisplay() {
  if (claimed_) ReleaseDevice();
  window_.reset();
}

int32_t CLineDisplay::Finish(int32_t result) {
  result_code_ = result;
  return result;
}

void CLineDisplay::SetState(int32_t state) {
  std::lock_guard lock(state_mutex_);
  state_ = state;
}

int32_t CLineDisplay::ReadState() {
  std::lock_guard lock(state_mutex_);
  return state_;
}

int32_t CLineDisplay::OpenService(const std::string& /*device_class*/,
                                  const std::string& device_name, Dispatch* control) {
  if (opened_) return Finish(opos::kIllegal);
  reg::Key device_key;
  if (reg::Key::Open(
          reg::Root::LocalMachine,
          service_core::DeviceKeyPath(service_core::DeviceClass::LineDisplay, device_name),
          reg::Access::Write, device_key) != reg::kSuccess) {
    return Finish(opos::kNoService);
  }
  if (!callbacks_.Attach(control)) return Finish(opos::kNoService);
  DisplayConfiguration config;
  if (ReadDisplayConfiguration(device_name, config) != DisplayConfigResult::kOk) {
    return Finish(opos::kNoService);
  }
  config_ = config;
  device_rows_ = kDeviceRows;
  device_columns_ = kDeviceColumns;
  window_ = std::make_unique<platform::HiddenWindow>(
      "EventInterfaceWindow", kEventWindowId,
      [this](uint16_t command, void*) { return OnWindowCommand(command); });
  opened_ = true;
  SetState(opos::kStateIdle);
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::ClaimDevice(int32_t timeout) {
  if (claimed_) return Finish(opos::kSuccess);
  if (!opened_) return Finish(opos::kClosed);
  if (timeout < 0) return Finish(opos::kIllegal);
  if (timeout < kMinimumClaimTimeoutMs) timeout = kMinimumClaimTimeoutMs;

  bool retrying = false;
  uint64_t first_failure = 0;
  while (!port_.Open(config_.port, config_.baudrate, config_.parity, config_.stop)) {
    const uint64_t now = platform::TickCountMs();
    if (!retrying) {
      retrying = true;
      first_failure = now;
    } else if (now - first_failure > static_cast<uint64_t>(timeout)) {
      return Finish(opos::kTimeout);
    }
    platform::SleepMs(kOpenRetryMs);
  }
  if (!port_.ClaimTest(timeout)) {
    port_.Close();
    return Finish(opos::kIllegal);
  }

  {
    std::lock_guard lock(text_mutex_);
    check_health_text_ = "Not Executed";
  }
  stop_ = false;
  events_ = std::make_unique<ClaimEvents>(freeze_events_ != 0, co_freeze_events_ != 0);
  ++claim_generation_;
  {
    std::lock_guard lock(command_mutex_);
    commands_.clear();
    pending_start_.reset();
    cursor_row_mark_ = cursor_column_mark_ = false;
  }
  ClaimEvents& events = *events_;
  event_thread_ = std::thread([this, &events] { EventDeliveryLoop(events); });
  display_thread_ = std::thread([this, &events] { DisplayLoop(events); });
  port_.StartWatch([this](bool present) { OnPresenceChanged(present); });
  platform::MessagePumpingPause();

  DestroyAllWindows();
  if (IsStandardModel(config_.device_name)) {
    CreateWindowRecord(0, 0, kDeviceRows, kDeviceColumns, kDeviceRows, kDeviceColumns);
  }

  if (TestOnline() != opos::kSuccess) {
    EndClaim();
    // The object stays opened: the application may claim again once the display is back.
    SetState(opos::kStateIdle);
    return Finish(opos::kIllegal);
  }
  port_.Write(kInitialiseBytes);
  {
    std::lock_guard lock(command_mutex_);
    pending_start_.reset();
  }
  blink_ = false;
  claimed_ = 1;
  device_enabled_ = 0;
  return Finish(opos::kSuccess);
}

void CLineDisplay::EndClaim() {
  // The stop flag first: a redraw waiting for DSR gives up at once instead of holding the
  // marquee threads (and so this release) for the claim time-out.
  stop_ = true;
  port_.StopWatch();
  DestroyAllWindows();
  platform::MessagePumpingPause();
  events_->stop.Set();
  events_->event_queue_not_empty.Set();
  events_->not_frozen.Set();
  events_->not_frozen_by_control_object.Set();
  events_->command_queue_not_empty.Set();
  for (std::thread* t : {&event_thread_, &display_thread_}) {
    if (t->joinable()) t->join();
  }
  events_.reset();
  {
    std::lock_guard lock(command_mutex_);
    commands_.clear();
  }
  hand_off_.Withdraw();
  {
    std::lock_guard lock(state_mutex_);
    event_queue_.clear();
    if (state_ == opos::kStateBusy) state_ = opos::kStateIdle;
  }
  busy_ = false;
  port_.Close();
}

int32_t CLineDisplay::ReleaseDevice() {
  if (!claimed_) return Finish(opos::kIllegal);
  if (device_enabled_) SetDeviceEnabled(0);
  EndClaim();
  platform::MessagePumpingPause();
  claimed_ = 0;
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::CloseService() {
  if (claimed_) ReleaseDevice();
  opened_ = false;  // OpenService may open it again; the event window lives on until then
  SetState(opos::kStateClosed);
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::COFreezeEvents(int32_t freeze) {
  co_freeze_events_ = freeze != 0 ? 1 : 0;
  if (events_) {
    if (freeze)
      events_->not_frozen_by_control_object.Reset();
    else
      events_->not_frozen_by_control_object.Set();
  }
  return opos::kSuccess;
}

void CLineDisplay::SetFreezeEvents(int32_t value) {
  freeze_events_ = value;
  if (events_) {
    if (value)
      events_->not_frozen.Reset();
    else
      events_->not_frozen.Set();
  }
  Finish(opos::kSuccess);
}

void CLineDisplay::SetDeviceEnabled(int32_t value) {
  if (!claimed_) {
    Finish(opos::kNotClaimed);
    return;
  }
  const bool enabling = value != 0 && !device_enabled_;
  device_enabled_ = value != 0 ? 1 : 0;
  if (enabling && power_notify_ == 1) {
    // The application hears the power state as enabling finds it.
    power_state_ = opos::kPowerUnknown;
    ReportPowerState(port_.Present());
  }
  if (!value) platform::SleepMs(50);
  Finish(opos::kSuccess);
}

void CLineDisplay::OnPresenceChanged(bool present) {
  if (present) {
    // A display plugged in again may have lost its power: it is selected and initialised
    // as at the claim, and shown what the windows hold.
    port_.Write(kSelectDisplayBytes);
    port_.Write(kInitialiseBytes);
    Redraw(false);
  }
  ReportPowerState(present);
}

void CLineDisplay::ReportPowerState(bool present) {
  if (!device_enabled_ || power_notify_ != 1) return;
  const int32_t state = present ? opos::kPowerOnline : opos::kPowerOffOffline;
  // Under the state mutex, so the reports reach the queue in the order of the changes.
  std::lock_guard lock(state_mutex_);
  if (power_state_.exchange(state) == state) return;
  event_queue_.push_back({opos::kStatusUpdateEvent, state, 0, {}});
  if (events_) events_->event_queue_not_empty.Set();
}

int32_t CLineDisplay::CheckEnabled() {
  if (!claimed_) return opos::kNotClaimed;
  if (!device_enabled_) return opos::kDisabled;
  return opos::kSuccess;
}

int32_t CLineDisplay::TestOnline() {
  return port_.TestOnline([this] { return stop_.load(); });
}

}  // namespace line_display
