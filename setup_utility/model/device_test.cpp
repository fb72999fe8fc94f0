#include "device_test.h"

#include <vector>

#include "cls_opos.h"
#include "control_objects/control_object.h"
#include "platform/ui_provider.h"

namespace confix {

namespace {

using platform::automation::DispId;
using platform::automation::InvokeKind;
using platform::automation::Variant;

// Standard dispatch identifiers of the POS printer and cash drawer control objects.
constexpr DispId kOpen = 37, kClaimDevice = 32, kDeviceEnabled = 17, kResultCode = 22,
                 kResultCodeExtended = 23, kReleaseDevice = 38, kClose = 35, kPrintNormal = 168,
                 kCapRecPapercut = 77, kOpenDrawer = 60;
constexpr int32_t kReceiptStation = 2;

// A control object used only through its automation interface.
class LateBound {
 public:
  explicit LateBound(const char* device_class)
      : object_(opos::control::CreateControlObject(device_class)) {}

  int32_t Call(DispId id, std::vector<Variant> args = {}) {
    Variant result;
    if (!object_ || !platform::automation::Succeeded(
                        object_->Invoke(id, InvokeKind::Method, args, &result))) {
      return 111;  // OPOS_E_FAILURE: the member could not be called
    }
    return result.ToInt32();
  }
  Variant Get(DispId id) {
    Variant result;
    if (object_) object_->Invoke(id, InvokeKind::PropertyGet, {}, &result);
    return result;
  }
  void Put(DispId id, Variant value) {
    Variant args[] = {std::move(value)};
    if (object_) object_->Invoke(id, InvokeKind::PropertyPut, args, nullptr);
  }

 private:
  opos::control::ObjectRef<opos::control::ControlObject> object_;
};

void ShowError(const std::string& text) {
  platform::ui::Current().MessageBox(text, "ERR", platform::ui::kOk);
}

std::string ResultLines(LateBound& device) {
  return "ResultCode : " + std::to_string(device.Get(kResultCode).ToInt32()) + "\n" +
         "ResultCodeExtended : " + std::to_string(device.Get(kResultCodeExtended).ToInt32());
}

std::string DeviceNameLine(const std::string& name) {
  for (const char* model : {"RevUduzo2", "RevUduzo3", "RevUduzo4"}) {
    if (name == std::string(model) + "S" || name == std::string(model) + "P") {
      return std::string("Device Name : ") + model;
    }
  }
  if (name == "ThermalS" || name == "ThermalP" || name == "ThermalN" || name == "ThermalU") {
    return "Device Name : Thermal";
  }
  return {};
}

}  // namespace

std::string TestPageText(const std::string& device_name, bool network_dialog) {
  std::string text = "Interactive Hcheck!!\r\nOLE ZERI ZIZ\r\nService Object Version : 2.15\r\n";
  if (network_dialog && device_name.rfind("Thermal", 0) == 0) text += "Network Environment!!!\r\n";
  std::string line = DeviceNameLine(device_name);
  if (!line.empty()) text += line + "\r\n\r\n\r\n";
  return text;
}

bool RunPrinterTest(const clsOPOS& entry, bool network_dialog) {
  LateBound prt("POSPrinter");
  int32_t r = prt.Call(kOpen, {Variant(entry.mstrKeyName)});
  if (r != 0) {
    ShowError("Prt.Open ResultCode : " + std::to_string(r));
    return false;
  }
  r = prt.Call(kClaimDevice, {Variant(1000)});
  if (r != 0) {
    ShowError("Prt.ClaimDevice ResultCode : " + std::to_string(r));
    prt.Call(kClose);
    return false;
  }
  prt.Put(kDeviceEnabled, Variant::Boolean(true));
  int32_t enabled = prt.Get(kResultCode).ToInt32();
  if (enabled != 0) {
    ShowError("Prt.DeviceEnabled ResultCode : " + std::to_string(enabled) + "\n" +
              "ResultCodeExtended : " + std::to_string(prt.Get(kResultCodeExtended).ToInt32()));
    prt.Call(kReleaseDevice);
    prt.Call(kClose);
    return false;
  }
  r = prt.Call(kPrintNormal,
               {Variant(kReceiptStation), Variant(TestPageText(entry.mstrDeviceName, network_dialog))});
  if (r != 0) {
    ShowError(ResultLines(prt));
  } else if (prt.Get(kCapRecPapercut).ToBool()) {
    prt.Call(kPrintNormal, {Variant(kReceiptStation), Variant(std::string("\x1b|fP"))});
  }
  prt.Put(kDeviceEnabled, Variant::Boolean(false));
  prt.Call(kReleaseDevice);
  prt.Call(kClose);
  return r == 0;
}

bool RunDrawerTest(const clsOPOS& entry) {
  LateBound cash("CashDrawer");
  int32_t r = cash.Call(kOpen, {Variant(entry.mstrKeyName)});
  if (r != 0) {
    ShowError("ResultCode : " + std::to_string(r));
    return false;
  }
  r = cash.Call(kClaimDevice, {Variant(1000)});
  if (r != 0) {
    ShowError("ResultCode : " + std::to_string(r));
    cash.Call(kClose);
    return false;
  }
  cash.Put(kDeviceEnabled, Variant::Boolean(true));
  if (cash.Get(kResultCode).ToInt32() != 0) {
    ShowError(ResultLines(cash));
    cash.Call(kReleaseDevice);
    cash.Call(kClose);
    return false;
  }
  cash.Call(kOpenDrawer);
  bool ok = cash.Get(kResultCode).ToInt32() == 0;
  if (!ok) ShowError(ResultLines(cash));
  cash.Put(kDeviceEnabled, Variant::Boolean(false));
  cash.Call(kReleaseDevice);
  cash.Call(kClose);
  return ok;
}

bool RunDeviceTest(const clsOPOS& entry, bool network_dialog) {
  if (entry.mstrDeviceClass == kCashDrawerClass) return RunDrawerTest(entry);
  return RunPrinterTest(entry, network_dialog);
}

}  // namespace confix
