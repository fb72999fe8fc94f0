// Open, claim, release and close: the states of the cash drawer service object.
#include <algorithm>

#include "cash_drawer.h"
#include "drawer_codes.h"
#include "opos_codes.h"
#include "platform/registry.h"

namespace service_core {

namespace reg = platform::registry;

namespace {
constexpr int kEventWindowId = 1234;
// The link treats a device name with this beginning as a drawer's.
constexpr std::string_view kDrawerNamePrefix = "Standard";
}  // namespace

CCashDrawer::CCashDrawer() = default;

CCashDrawer::~CCashDrawer() {
  if (claimed_) ReleaseDevice();
  window_.reset();
}

int32_t CCashDrawer::Finish(int32_t result) {
  result_code_ = result;
  return result;
}

void CCashDrawer::SetState(int32_t state) {
  std::lock_guard lock(queue_mutex_);
  state_ = state;
}

int32_t CCashDrawer::ReadState() {
  std::lock_guard lock(queue_mutex_);
  return state_;
}

int32_t CCashDrawer::OpenService(const std::string& /*device_class*/,
                                 const std::string& device_name,
                                 platform::automation::Dispatch* control) {
  if (ReadState() != opos::kStateClosed) return Finish(opos::kIllegal);

  reg::Key device_key;
  if (reg::Key::Open(reg::Root::LocalMachine, DeviceKeyPath(DeviceClass::CashDrawer, device_name),
                     reg::Access::Write, device_key) != reg::kSuccess) {
    return Finish(opos::kNoService);
  }
  if (!callbacks_.Attach(control, ControlCallbacks::Set::kStatusAndDirectIO))
    return Finish(opos::kNoService);
  SerialConfiguration config;
  if (ReadDeviceConfiguration(DeviceClass::CashDrawer, device_name, ThisBuild().configuration,
                              config) != ConfigResult::kOk) {
    return Finish(opos::kNoService);
  }
  // A link whose device name is not a drawer's would act as a printer link (monitor thread,
  // printer claim) on a port the printer may share.
  if (!config.device_name.starts_with(kDrawerNamePrefix)) return Finish(opos::kNoService);
  config_ = config;

  window_ = std::make_unique<platform::HiddenWindow>(
      "EventInterfaceWindow", kEventWindowId,
      [this](uint16_t command, void*) { return OnWindowCommand(command); });

  binary_conversion_ = 0;
  power_state_ = opos::kPowerUnknown;
  power_notify_ = 0;
  cap_power_reporting_ = 0;
  SetState(opos::kStateIdle);
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::ClaimDevice(int32_t timeout) {
  result_code_extended_ = 0;
  if (claimed_) return opos::kSuccess;
  // Without OpenService there is no configuration to claim with.
  if (ReadState() == opos::kStateClosed) return Finish(opos::kClosed);
  if (timeout < 0) return Finish(opos::kIllegal);
  timeout = std::max(timeout, ThisBuild().minimum_claim_timeout_ms);

  port_.SetDeviceName(config_.device_name);
  port_.SetDrawer(this);
  port_.SetPrinter(nullptr);
  if (!port_.OpenPortWithin(PortSettingsFor(config_), timeout, true))
    return Finish(opos::kTimeout);
  if (port_.ConnectPrinter(timeout) != kPortReady) {
    port_.ClosePort();
    return Finish(opos::kIllegal);
  }

  {
    std::lock_guard lock(text_mutex_);
    check_health_text_ = "Not Executed";
  }
  stop_ = false;
  last_reported_ = -1;
  current_state_ = drawer::kDrawerClosed;
  {
    std::lock_guard lock(queue_mutex_);
    sensed_states_.clear();
    last_handed_ = -1;
  }
  sync_ = std::make_unique<DrawerSync>(freeze_events_ != 0, co_freeze_events_ != 0);
  ++claim_generation_;
  StartThreads(*sync_);
  platform::MessagePumpingPause();
  claimed_ = 1;
  device_enabled_ = 0;
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::ReleaseDevice() {
  if (!claimed_) return Finish(opos::kIllegal);
  if (device_enabled_) SetDeviceEnabled(0);
  stop_ = true;
  // An event already posted to the window is raised during this pause, so the delivery
  // thread is free to see the stop flag.
  platform::MessagePumpingPause();
  StopThreads(*sync_);
  // A WaitForDrawerClose on another thread has been woken by the stop; it still touches
  // the claim's events on its way out.
  while (close_waiters_ > 0) platform::SleepMs(10);
  sync_.reset();
  hand_off_.Withdraw();
  {
    std::lock_guard lock(queue_mutex_);
    event_queue_.clear();
    sensed_states_.clear();
  }
  port_.ClosePort();
  platform::MessagePumpingPause();
  claimed_ = 0;
  device_enabled_ = 0;
  return Finish(opos::kSuccess);
}

int32_t CCashDrawer::CloseService() {
  if (claimed_) ReleaseDevice();
  SetState(opos::kStateClosed);
  return Finish(opos::kSuccess);
}

}  // namespace service_core
