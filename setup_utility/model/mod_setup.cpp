#include "mod_setup.h"

#include "cls_opos.h"
#include "mod_regedit.h"

namespace confix::modSetup {

namespace {

using C = clsOPOS;

const EntryValue kCommon[] = {
    {"", &C::mstrSOName},
    {"ADKConfig", &C::mstrADKConfig},
    {"Baudrate", nullptr, &C::mlngBaudrate},
    {"BaudrateSel", &C::mstrBaudrateSel},
    {"BitLength", nullptr, &C::mlngBitLength},
    {"BitLengthSel", &C::mstrBitLengthSel},
    {"Description", &C::mstrDescription},
    {"DeviceDesc", &C::mstrDeviceDesc},
    {"DeviceName", &C::mstrDeviceName},
    {"HandShake", nullptr, &C::mlngHandShake},
    {"HandShakeSel", &C::mstrHandShakeSel},
    {"IdleSleep", nullptr, &C::mlngIdleSleep},
    {"InputBuf", nullptr, &C::mlngInputBuf},
    {"InputSleep", nullptr, &C::mlngInputSleep},
    {"OutputBuf", nullptr, &C::mlngOutputBuf},
    {"Parity", nullptr, &C::mlngParity},
    {"ParitySel", &C::mstrParitySel},
    {"IP", &C::mstrIP},
    {"Port", &C::mstrPort},
    {"PortShare", nullptr, &C::mlngPortShare},
    {"Stop", nullptr, &C::mlngStop},
    {"StopSel", &C::mstrStopSel},
    {"Timeout", nullptr, &C::mlngTimeout},
    {"Version", &C::mstrVersion},
    {"XonXoff", nullptr, &C::mlngXonXoff},
    {"XonXoffSel", &C::mstrXonXoffSel},
};

const EntryValue kDrawer[] = {
    {"OpenLevel", nullptr, &C::mlngOpenLevel},
    {"ConnectorPinNo", nullptr, &C::mlngConnectorPinNo},
    {"PulseOnTime", nullptr, &C::mlngPulseOnTime},
    {"PulseOffTime", nullptr, &C::mlngPulseOffTime},
};

}  // namespace

std::span<const EntryValue> CommonValues() { return kCommon; }
std::span<const EntryValue> DrawerValues() { return kDrawer; }

long WriteValue(const std::string& path, const EntryValue& value, const clsOPOS& entry) {
  if (value.text) return modRegedit::RegWriteString(path, value.name, entry.*value.text);
  return modRegedit::RegWriteDword(path, value.name, entry.*value.number);
}

void ReadValue(const std::string& path, const EntryValue& value, clsOPOS& entry) {
  if (value.text) {
    entry.*value.text = modRegedit::RegReadString(path, value.name);
  } else {
    entry.*value.number = modRegedit::RegReadDword(path, value.name);
  }
}

}  // namespace confix::modSetup
