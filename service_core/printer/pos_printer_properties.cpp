// GetPropertyNumber / SetPropertyNumber / GetPropertyString / SetPropertyString.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

namespace {

constexpr int32_t kReceiptStation = 2;

// Printer properties that are settable while claimed and only stored.
bool IsStoredOnly(int32_t index) {
  switch (index) {
    case 8007:
    case 8008:
    case 8009:
    case 8010:
    case 8011:  // journal settings
    case 8015:
    case 8017:
    case 8020:  // receipt quality, height, width
    case 8025:
    case 8026:
    case 8027:
    case 8029:
    case 8030:  // slip settings
    case 8036:  // RotateSpecial
      return true;
    default:
      return false;
  }
}

}  // namespace

int32_t CPOSPrinter::GetPropertyNumber(int32_t index) {
  switch (index) {
    case opos::kPropClaimed:
      return claimed_;
    case opos::kPropDeviceEnabled:
      return device_enabled_;
    case opos::kPropFreezeEvents:
      return freeze_events_;
    case opos::kPropOutputId:
      return output_id_;
    case opos::kPropResultCode:
      return result_code_;
    case opos::kPropResultCodeExtended:
      return result_code_extended_;
    case opos::kPropServiceObjectVersion:
      return ThisBuild().service_object_version;
    case opos::kPropState:
      return ReadState();
    case opos::kPropBinaryConversion:
      return binary_conversion_;
    case opos::kPropPowerNotify:
      return power_notify_;
    case opos::kPropPowerState:
      return power_state_;
    case opos::kPropCapPowerReporting:
      return cap_power_reporting_;
    case 2:
    case 10:
    case 12:
      return 0;
    default:
      return properties_.Number(index);  // unknown indexes read as 0
  }
}

void CPOSPrinter::SetPropertyNumber(int32_t index, int32_t value) {
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
      if (device_enabled_) {
        Finish(opos::kIllegal);
        return;
      }
      power_notify_ = value;
      if (value == 0) power_state_ = opos::kPowerUnknown;
      Finish(opos::kSuccess);
      return;
    default:
      break;
  }

  const bool settable = index == opos::kPropAsyncMode || index == opos::kPropFlagWhenIdle ||
                        index == prop::kCharacterSet || index == prop::kMapMode ||
                        index == prop::kRecLineChars || index == prop::kRecLineSpacing ||
                        IsStoredOnly(index);
  if (!settable) return;  // read-only and unknown indexes are ignored
  if (!claimed_) {
    Finish(opos::kNotClaimed);
    return;
  }
  switch (index) {
    case opos::kPropAsyncMode:
      properties_.SetNumber(index, value != 0 ? 1 : 0);
      break;
    case opos::kPropFlagWhenIdle:
      SetFlagWhenIdle(value);
      break;
    case prop::kRecLineChars:  // the printer has 42 and 56 columns
      properties_.SetNumber(index, value > 42 ? 56 : 42);
      break;
    case prop::kCharacterSet:
      SetCharacterSet(value);
      return;
    case prop::kMapMode:
      properties_.ChangeMapMode(value);
      break;
    case prop::kRecLineSpacing:
      // Sideways text being collected keeps the spacing it started with.
      if (rotation_.rotated()) break;
      if (!properties_.ChangeRecLineSpacing(value)) {
        Finish(opos::kIllegal);
        return;
      }
      break;
    default:
      properties_.SetNumber(index, value);
      break;
  }
  Finish(opos::kSuccess);
}

void CPOSPrinter::SetCharacterSet(int32_t value) {
  properties_.SetNumber(prop::kCharacterSet, value);
  result_code_extended_ = 0;
  // ESC t n: the printer's code page; a request like any print (asynchronous mode included).
  const char select_code_page[] = {0x1B, 0x74, static_cast<char>(CodePageCommandNumber(value))};
  Finish(SendData(kReceiptStation, std::string_view(select_code_page, 3), false));
}

void CPOSPrinter::SetFlagWhenIdle(int32_t value) {
  // State and the flag change together under the event-queue mutex, so the output worker
  // going idle at the same moment cannot raise the idle event a second time.
  std::lock_guard lock(event_queue_mutex_);
  if (value == 1 && state_ == opos::kStateIdle && sync_) {
    properties_.SetNumber(opos::kPropFlagWhenIdle, 0);
    event_queue_.push_back({EventKind::StatusUpdate, {opos::kStatusIdle}});
    sync_->event_queue.Set();
    return;
  }
  properties_.SetNumber(opos::kPropFlagWhenIdle, value);
}

std::string CPOSPrinter::GetPropertyString(int32_t index) {
  switch (index) {
    case opos::kPropCheckHealthText: {
      std::lock_guard lock(text_mutex_);
      return check_health_text_;
    }
    case opos::kPropDeviceDescription:
      return ThisBuild().printer_device_description;
    case opos::kPropDeviceName:
      return "RecPrinter.POSPrinter.SO";
    case opos::kPropServiceObjectDescription:
      return ThisBuild().printer_service_description;
    default:
      return properties_.String(index);
  }
}

void CPOSPrinter::SetPropertyString(int32_t /*index*/, const std::string& /*value*/) {}

}  // namespace service_core
