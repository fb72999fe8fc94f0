// Open, claim, release and close: the states of the printer service object.
#include <algorithm>

#include "opos_codes.h"
#include "platform/registry.h"
#include "pos_printer.h"

namespace service_core {

namespace reg = platform::registry;

namespace {
constexpr int kEventWindowId = 1234;
constexpr uint16_t kPrinterEventCommand = 0xFFFF;
constexpr uint64_t kReleaseDrainMs = 10000;
}  // namespace

CPOSPrinter::CPOSPrinter() = default;

CPOSPrinter::~CPOSPrinter() {
  if (claimed_) ReleaseDevice();
  window_.reset();
}

int32_t CPOSPrinter::Finish(int32_t result) {
  result_code_ = result;
  ++results_stored_;
  return result;
}

void CPOSPrinter::SetState(int32_t state) {
  std::lock_guard lock(event_queue_mutex_);
  state_ = state;
}

int32_t CPOSPrinter::ReadState() {
  std::lock_guard lock(event_queue_mutex_);
  return state_;
}

int32_t CPOSPrinter::OpenService(const std::string& /*device_class*/,
                                 const std::string& device_name, Dispatch* control) {
  result_code_extended_ = 0;
  if (ReadState() != opos::kStateClosed) return Finish(opos::kIllegal);

  reg::Key device_key;
  if (reg::Key::Open(reg::Root::LocalMachine, DeviceKeyPath(DeviceClass::POSPrinter, device_name),
                     reg::Access::Write, device_key) != reg::kSuccess) {
    return Finish(opos::kNoService);
  }
  if (!callbacks_.Attach(control)) return Finish(opos::kNoService);
  SerialConfiguration config;
  if (ReadDeviceConfiguration(DeviceClass::POSPrinter, device_name, ThisBuild().configuration,
                              config) != ConfigResult::kOk) {
    return Finish(opos::kNoService);
  }
  config_ = config;
  thermal_ = IsThermalModel(config_.device_name);
  properties_.ApplyModel(config_.device_name);
  opened_name_ = device_name;

  window_ = std::make_unique<platform::HiddenWindow>(
      "EventInterfaceWindow", kEventWindowId,
      [this](uint16_t command, void*) { return OnWindowCommand(command); });

  binary_conversion_ = 0;
  power_state_ = opos::kPowerUnknown;
  power_notify_ = 0;
  cap_power_reporting_ = 1;
  SetState(opos::kStateIdle);
  return Finish(opos::kSuccess);
}

int32_t CPOSPrinter::ClaimDevice(int32_t timeout) {
  result_code_extended_ = 0;
  if (claimed_) return opos::kSuccess;
  // Without OpenService there is no configuration to claim with.
  if (ReadState() == opos::kStateClosed) return Finish(opos::kClosed);
  if (timeout < 0) return Finish(opos::kIllegal);
  timeout = std::max(timeout, ThisBuild().minimum_claim_timeout_ms);

  port_.SetDeviceName(config_.device_name);
  port_.SetPrinter(this);
  port_.SetDrawer(nullptr);
  if (!port_.OpenPortWithin(PortSettingsFor(config_), timeout, ThisBuild().printer_retries_open))
    return Finish(opos::kTimeout);

  const int connected = port_.ConnectPrinter(timeout);
  if (connected != kPortReady) {
    port_.ClosePort();
    result_code_extended_ = connected == kPortNoAnswer ? opos::kExtNoAnswerAtClaim : connected;
    return Finish(opos::kIllegal);
  }

  {
    std::lock_guard lock(text_mutex_);
    check_health_text_.clear();
  }
  stop_ = false;
  sync_ = std::make_unique<ClaimSync>(freeze_events_ != 0, co_freeze_events_ != 0);
  ++claim_generation_;
  StartWorkers(*sync_);
  platform::MessagePumpingPause();

  bitmap_slots_.Clear();
  // A rotation the last release could not end on the printer is ended now.
  if (page_mode_left_) LeavePageMode();
  ResetPrintState();
  SetState(opos::kStateIdle);
  bitmap_downloaded_[0] = bitmap_downloaded_[1] = false;
  {
    std::lock_guard lock(answers_mutex_);
    answered_marks_.clear();
    asked_marks_.clear();
  }
  next_mark_ = 0;
  transaction_mark_ = 0;
  unconfirmed_output_ = false;
  last_sync_print_ms_ = 0;
  last_async_print_ms_ = 0;
  claimed_ = 1;
  device_enabled_ = 0;
  cover_reported_ = paper_reported_ = power_reported_ = 0;
  clear_requested_ = clear_during_error_ = error_wait_ = releasing_ = false;
  discard_events_ = false;
  discard_count_ = 0;
  errors_raised_ = errors_answered_ = 0;
  return Finish(opos::kSuccess);
}

int32_t CPOSPrinter::ReleaseDevice() {
  if (!claimed_) return Finish(opos::kIllegal);
  device_enabled_ = 0;

  // Give queued output up to ten seconds, keeping the application's events flowing.
  releasing_ = true;
  const uint64_t start = platform::TickCountMs();
  for (;;) {
    {
      std::lock_guard lock(output_queue_mutex_);
      if (output_queue_.empty()) break;
    }
    if (platform::TickCountMs() - start > kReleaseDrainMs) break;
    platform::MessagePumpingPause();
  }
  DiscardQueuedOutput();
  releasing_ = false;

  stop_ = true;
  // An event already posted to the window is raised during this pause, so the delivery
  // thread is free to see the stop flag.
  platform::MessagePumpingPause();
  StopWorkers(*sync_);
  sync_.reset();
  // A request discarded while it printed leaves nothing busy behind, and nothing in the
  // printer's buffer that would still print after it was reported dropped.
  SetState(opos::kStateIdle);
  if (unconfirmed_output_.exchange(false) || transaction_mark_ != 0) ClearPrinterBuffer(nullptr);
  transaction_mark_ = 0;
  LeavePageMode();
  hand_off_.Withdraw();
  {
    std::lock_guard lock(event_queue_mutex_);
    event_queue_.clear();
  }
  port_.ClosePort();
  platform::MessagePumpingPause();

  claimed_ = 0;
  result_code_extended_ = 0;
  bitmap_slots_.FreeDownloads();
  return Finish(opos::kSuccess);
}

int32_t CPOSPrinter::CloseService() {
  if (claimed_) ReleaseDevice();
  SetState(opos::kStateClosed);
  result_code_extended_ = 0;
  return Finish(opos::kSuccess);
}

int32_t CPOSPrinter::COFreezeEvents(int32_t freeze) {
  co_freeze_events_ = freeze != 0 ? 1 : 0;
  if (sync_) {
    if (freeze)
      sync_->control_object_gate.Reset();
    else
      sync_->control_object_gate.Set();
  }
  return opos::kSuccess;
}

void CPOSPrinter::SetFreezeEvents(int32_t value) {
  freeze_events_ = value;  // read back as given; any non-zero value freezes
  if (sync_) {
    if (value)
      sync_->property_gate.Reset();
    else
      sync_->property_gate.Set();
  }
  Finish(opos::kSuccess);
}

void CPOSPrinter::SetDeviceEnabled(int32_t value) {
  if (!claimed_) {
    Finish(opos::kNotClaimed);
    return;
  }
  const int32_t enable = value != 0 ? 1 : 0;
  if (enable && !device_enabled_) {
    // The first poll after enabling reports the current conditions afresh.
    RestartStatusReporting();
    device_enabled_ = 1;
    if (sync_) sync_->poll.Set();
  } else {
    device_enabled_ = enable;
  }
  Finish(opos::kSuccess);
}

void CPOSPrinter::DiscardQueuedOutput() {
  {
    std::lock_guard lock(output_queue_mutex_);
    output_queue_.clear();
  }
  std::lock_guard lock(transaction_queue_mutex_);
  transaction_queue_.clear();
}

void CPOSPrinter::OnPrinterPowerLost() {
  // Images downloaded to the printer are gone with its power.
  ForgetBitmapDownloads();
}

}  // namespace service_core
