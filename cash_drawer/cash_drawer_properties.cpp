// The drawer's properties, enabling and event freezing.
#include "cash_drawer.h"
#include "drawer_codes.h"
#include "opos_codes.h"

namespace service_core {

namespace {
constexpr int kPausesAfterEnabling = 3;  // the first poll has run when enabling returns
}  // namespace

int32_t CCashDrawer::GetPropertyNumber(int32_t index) {
  switch (index) {
    case opos::kPropClaimed: return claimed_;
    case opos::kPropDeviceEnabled: return device_enabled_;
    case opos::kPropFreezeEvents: return freeze_events_;
    case opos::kPropResultCode: return result_code_;
    case opos::kPropResultCodeExtended: return result_code_extended_;
    case opos::kPropServiceObjectVersion: return opos::kServiceObjectVersion;
    case opos::kPropState: return ReadState();
    case opos::kPropBinaryConversion: return binary_conversion_;
    case opos::kPropPowerNotify: return power_notify_;
    case opos::kPropPowerState: return power_state_;
    case opos::kPropCapPowerReporting: return cap_power_reporting_;
    case drawer::kPropDrawerOpened: return current_state_;
    case drawer::kPropCapStatus: return 1;
    default: return 0;
  }
}

void CCashDrawer::SetPropertyNumber(int32_t index, int32_t value) {
  switch (index) {
    case opos::kPropDeviceEnabled:
      SetDeviceEnabled(value);
      return;
    case opos::kPropFreezeEvents:
      SetFreezeEvents(value);
      return;
    case opos::kPropBinaryConversion:
      binary_conversion_ = value;
      Finish(opos::kSuccess);
      return;
    case opos::kPropPowerNotify:
      if (value == 1 && cap_power_reporting_ == 0) {
        Finish(opos::kIllegal);
        return;
      }
      power_notify_ = value;
      Finish(opos::kSuccess);
      return;
    default:
      return;
  }
}

std::string CCashDrawer::GetPropertyString(int32_t index) {
  switch (index) {
    case opos::kPropCheckHealthText: {
      std::lock_guard lock(text_mutex_);
      return check_health_text_;
    }
    case opos::kPropDeviceDescription: return "OPOS Cash Drawer";
    case opos::kPropDeviceName: return "Tandor.CashDrawer.SO";
    case opos::kPropServiceObjectDescription: return "OPOS Cash Drawer Service Object";
    default: return "";
  }
}

void CCashDrawer::SetPropertyString(int32_t /*index*/, const std::string& /*value*/) {}

void CCashDrawer::SetDeviceEnabled(int32_t value) {
  if (!claimed_) {
    Finish(opos::kNotClaimed);
    return;
  }
  const int32_t enable = value != 0 ? 1 : 0;
  const bool enabling = enable && !device_enabled_;
  if (enabling) {
    // The first poll reports the drawer as it stands now.
    last_reported_ = -1;
    device_enabled_ = 1;
    if (sync_) sync_->poll.Set();
    for (int i = 0; i < kPausesAfterEnabling; ++i) platform::MessagePumpingPause();
  } else {
    device_enabled_ = enable;
  }
  Finish(opos::kSuccess);
}

void CCashDrawer::SetFreezeEvents(int32_t value) {
  freeze_events_ = value != 0 ? 1 : 0;
  if (sync_) {
    if (value)
      sync_->events_not_frozen.Reset();
    else
      sync_->events_not_frozen.Set();
  }
  Finish(opos::kSuccess);
}

int32_t CCashDrawer::COFreezeEvents(int32_t freeze) {
  co_freeze_events_ = freeze != 0 ? 1 : 0;
  if (sync_) {
    if (freeze)
      sync_->not_frozen_by_control_object.Reset();
    else
      sync_->not_frozen_by_control_object.Set();
  }
  return opos::kSuccess;
}

}  // namespace service_core
