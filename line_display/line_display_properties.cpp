// GetPropertyNumber / SetPropertyNumber / GetPropertyString / SetPropertyString.
#include <algorithm>

#include "display_codes.h"
#include "line_display.h"

namespace line_display {

namespace {
constexpr int32_t kServiceObjectVersion = 1006001;
constexpr int32_t kCharacterSetAscii = 998;
constexpr int32_t kMinimumInterCharacterWaitMs = 100;

// Capabilities: fixed by the display model.
int32_t Capability(int32_t index) {
  switch (index) {
    case 5501:
      return 1;  // CapBlink
    case 5503:
      return kCharacterSetAscii;  // CapCharacterSet
    case 5506:
      return 1;  // CapICharWait
    case 5508:
      return 1;  // CapBlinkRate
    case 5510:
      return 1;  // CapCustomGlyph
    default:
      return 0;  // CapBrightness, CapDescriptors, CapHMarquee, CapVMarquee, unknown
  }
}
}  // namespace

int32_t CLineDisplay::GetPropertyNumber(int32_t index) {
  namespace p = opos::prop;
  switch (index) {
    case p::kClaimed:
      return claimed_;
    case p::kDeviceEnabled:
      return device_enabled_;
    case p::kFreezeEvents:
      return freeze_events_;
    case p::kResultCode:
      return result_code_;
    case p::kResultCodeExtended:
      return 0;
    case p::kServiceObjectVersion:
      return kServiceObjectVersion;
    case p::kState:
      return ReadState();
    case p::kBinaryConversion:
      return binary_conversion_;
    case p::kPowerNotify:
      return power_notify_;
    case p::kPowerState:
      return power_state_;
    case p::kCapPowerReporting:
      return opos::kPowerReportingStandard;
    case p::kCharacterSet:
      return character_set_;
    case p::kDeviceBrightness:
      return device_brightness_;
    case p::kDeviceColumns:
      return device_columns_;
    case p::kDeviceDescriptors:
      return 0;
    case p::kDeviceRows:
      return device_rows_;
    case p::kDeviceWindows:
      return kMaxWindows;
    case p::kBlinkRate:
      return blink_rate_;
    default:
      break;
  }
  if (index >= 5500) return Capability(index);
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window) return 0;
  switch (index) {
    case p::kColumns:
      return window->width;
    case p::kCurrentWindow:
      return window->index;
    case p::kCursorColumn:
      return window->cursor_column;
    case p::kCursorRow:
      return window->cursor_row;
    case p::kCursorUpdate:
      return window->cursor_update;
    case p::kInterCharacterWait:
      return window->inter_character_wait;
    case p::kMarqueeRepeatWait:
      return window->marquee_repeat_wait;
    case p::kMarqueeType:
      return window->marquee_type;
    case p::kMarqueeUnitWait:
      return window->marquee_unit_wait;
    case p::kRows:
      return window->height;
    case p::kMarqueeFormat:
      return window->marquee_format;
    default:
      return 0;
  }
}

void CLineDisplay::SetPropertyNumber(int32_t index, int32_t value) {
  namespace p = opos::prop;
  switch (index) {
    case p::kDeviceEnabled:
      SetDeviceEnabled(value);
      return;
    case p::kFreezeEvents:
      SetFreezeEvents(value);
      return;
    case p::kResultCode:
      result_code_ = value;
      return;
    case p::kBinaryConversion:
      SetBinaryConversion(value);
      return;
    case p::kPowerNotify:
      SetPowerNotify(value);
      return;
    case p::kCharacterSet:
    case p::kDeviceBrightness:
    case p::kBlinkRate:
      if (!claimed_) {
        Finish(opos::kNotClaimed);
        return;
      }
      (index == p::kCharacterSet       ? character_set_
       : index == p::kDeviceBrightness ? device_brightness_
                                       : blink_rate_) = value;
      Finish(opos::kSuccess);
      return;
    case p::kCurrentWindow:
    case p::kCursorColumn:
    case p::kCursorRow:
    case p::kCursorUpdate:
    case p::kInterCharacterWait:
    case p::kMarqueeRepeatWait:
    case p::kMarqueeType:
    case p::kMarqueeUnitWait:
    case p::kMarqueeFormat:
      Finish(claimed_ ? SetWindowProperty(index, value) : opos::kNotClaimed);
      return;
    default:
      return;  // read-only and unknown indexes
  }
}

void CLineDisplay::SetBinaryConversion(int32_t value) {
  if (!claimed_) {
    Finish(opos::kNotClaimed);
    return;
  }
  if (const int32_t online = TestOnline(); online != opos::kSuccess) {
    Finish(online);
    return;
  }
  binary_conversion_ = value;
  Finish(opos::kSuccess);
}

void CLineDisplay::SetPowerNotify(int32_t value) {
  // Chosen while the device is disabled; enabling reports the power state it finds.
  if (device_enabled_ || (value != 0 && value != 1)) {
    Finish(opos::kIllegal);
    return;
  }
  power_notify_ = value;
  if (value == 0) power_state_ = opos::kPowerUnknown;
  Finish(opos::kSuccess);
}

int32_t CLineDisplay::SetWindowProperty(int32_t index, int32_t value) {
  namespace p = opos::prop;
  if (index == p::kCurrentWindow) return MakeCurrent(value) ? opos::kSuccess : opos::kIllegal;
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window) return opos::kIllegal;
  switch (index) {
    case p::kCursorColumn: {
      // The column after the last one is where a full row leaves the cursor.
      if (value < 0 || value > window->width) return opos::kIllegal;
      window->cursor_column = value;
      std::lock_guard lock(command_mutex_);
      cursor_column_mark_ = true;
      break;
    }
    case p::kCursorRow: {
      if (value < 0 || value >= window->height) return opos::kIllegal;
      window->cursor_row = value;
      std::lock_guard lock(command_mutex_);
      cursor_row_mark_ = true;
      break;
    }
    case p::kCursorUpdate:
      window->cursor_update = value != 0 ? 1 : 0;
      break;
    case p::kInterCharacterWait:
      if (value == 0) {
        window->inter_character_wait = 0;
        window->inter_character_wait_active = false;
      } else if (window->marquee_type == kMarqueeNone) {
        window->inter_character_wait = std::max(value, kMinimumInterCharacterWaitMs);
        window->inter_character_wait_active = true;
      } else {
        window->inter_character_wait = value;
      }
      break;
    case p::kMarqueeRepeatWait:
      window->marquee_repeat_wait = value;
      break;
    case p::kMarqueeType:
      // A type the marquee does not know would hold the text off the display for good.
      if (value < kMarqueeNone || value > kMarqueeInit) return opos::kIllegal;
      window->marquee_type = value;
      window->wake.Set();
      break;
    case p::kMarqueeUnitWait:
      window->marquee_unit_wait = value;
      break;
    case p::kMarqueeFormat:
      if (value != kMarqueeWalk && value != kMarqueePlace) return opos::kIllegal;
      window->marquee_format = value;
      break;
    default:
      break;
  }
  return opos::kSuccess;
}

std::string CLineDisplay::GetPropertyString(int32_t index) {
  namespace p = opos::prop;
  switch (index) {
    case p::kCheckHealthText: {
      std::lock_guard lock(text_mutex_);
      return check_health_text_;
    }
    case p::kDeviceDescription:
      return "OPOS Line Display";
    case p::kDeviceName:
      return "Display.LineDisplay.SO2";
    case p::kServiceObjectDescription:
      return "OPOS Line Display Service Object";
    case p::kCharacterSetList:
      return "998";
    default:
      return {};
  }
}

void CLineDisplay::SetPropertyString(int32_t /*index*/, const std::string& /*value*/) {}

}  // namespace line_display
