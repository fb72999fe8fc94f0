#include "cls_opos.h"

#include <algorithm>
#include <limits>

#include "inf_file.h"
#include "mod_regedit.h"
#include "mod_setup.h"

namespace confix {

namespace reg = platform::registry;
using namespace modRegedit;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

int16_t CountOf(const std::vector<std::string>& names) {
  return static_cast<int16_t>(
      std::min<size_t>(names.size(), std::numeric_limits<int16_t>::max()));
}

const char* DescriptionOf(const std::string& device_class) {
  if (device_class == kPosPrinterClass) return "OLE POS Printer OPOS Service Object";
  if (device_class == kCashDrawerClass) return "OLE Cash Drawer OPOS Service Object";
  return "";
}

}  // namespace

std::string ClassKeyPath(const std::string& device_class) {
  if (device_class == kPosPrinterClass) return kPosPrinterKeyPath;
  if (device_class == kCashDrawerClass) return kCashDrawerKeyPath;
  return {};
}

bool IsValidKeyName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

bool clsOPOS::Fail(EntryError error, reg::Status status) {
  last_error_ = error;
  last_status_ = status;
  return false;
}

std::string clsOPOS::LastErrorText() const {
  switch (last_error_) {
    case EntryError::None:
      return {};
    case EntryError::NoClass:
      return "The entry has no device class POSPrinter or CashDrawer, or no device name key.";
    case EntryError::BadName:
      return "A name must have 1 to 255 characters and no backslash or control character.";
    case EntryError::NameTaken:
      return "Another device of the class already has that device name key.";
    case EntryError::SameAsKeyName:
      return "Cannot register Logical Device Name because Device Name and Logical Device Name "
             "are the same.";
    case EntryError::NoFreeName:
      return "Every device name key up to the suffix _" + std::to_string(kMaxSuffix) +
             " is taken.";
    case EntryError::StoreFailure: {
      std::string why = reg::LastErrorMessage();
      if (last_status_ == reg::kAccessDenied) {
        return "No rights to write the device entries in the registry store " +
               reg::CurrentDatabasePath() + ".";
      }
      return "The registry store " + reg::CurrentDatabasePath() + " failed (error " +
             std::to_string(last_status_) + (why.empty() ? "" : ": " + why) + ").";
    }
    case EntryError::NoSection:
      return "The device name has no link letter S, P, U or N.";
  }
  return {};
}

void clsOPOS::Clear() {
  for (const modSetup::EntryValue& v : modSetup::CommonValues()) {
    if (v.text) this->*v.text = {}; else this->*v.number = 0;
  }
  for (const modSetup::EntryValue& v : modSetup::DrawerValues()) this->*v.number = 0;
  mstrKeyName.clear();
  mstrDeviceClass.clear();
}

std::string clsOPOS::BuildKeyPath(const std::string& deviceClass, std::string& keyName,
                                  bool isNew) {
  const std::string base = ClassKeyPath(deviceClass);
  if (base.empty() || keyName.empty()) {
    Fail(EntryError::NoClass);
    return {};
  }
  if (!isNew) return base + "\\" + keyName;
  std::string candidate = keyName;
  for (int n = 2;; ++n) {
    if (!IsValidKeyName(candidate)) {
      Fail(EntryError::BadName);
      return {};
    }
    reg::Status status = RegKeyStatus(base + "\\" + candidate);
    if (status == reg::kNotFound) break;
    // Without this test a store that cannot be opened would look full for ever.
    if (status != reg::kSuccess) {
      Fail(EntryError::StoreFailure, status);
      return {};
    }
    if (n > kMaxSuffix) {
      Fail(EntryError::NoFreeName);
      return {};
    }
    candidate = keyName + "_" + std::to_string(n);
  }
  keyName = candidate;
  return base + "\\" + candidate;
}

bool clsOPOS::Save(bool blnIsNew) {
  last_error_ = EntryError::None;
  std::string key_name = mstrKeyName;
  const std::string path = BuildKeyPath(mstrDeviceClass, key_name, blnIsNew);
  if (path.empty()) return false;
  mstrKeyName = key_name;
  reg::Status first_failure = reg::kSuccess;
  auto write = [&](const modSetup::EntryValue& value) {
    reg::Status status = modSetup::WriteValue(path, value, *this);
    if (first_failure == reg::kSuccess) first_failure = status;
  };
  for (const modSetup::EntryValue& value : modSetup::CommonValues()) write(value);
  if (mstrDeviceClass == kCashDrawerClass) {
    for (const modSetup::EntryValue& value : modSetup::DrawerValues()) write(value);
  }
  if (first_failure != reg::kSuccess) return Fail(EntryError::StoreFailure, first_failure);
  return true;
}

void clsOPOS::Load(const std::string& strDeviceClass, const std::string& strKeyName) {
  last_error_ = EntryError::None;
  Clear();
  mstrDeviceClass = strDeviceClass;
  mstrKeyName = strKeyName;
  std::string key_name = strKeyName;
  const std::string path = BuildKeyPath(mstrDeviceClass, key_name, false);
  if (path.empty()) return;
  for (const modSetup::EntryValue& value : modSetup::CommonValues()) {
    modSetup::ReadValue(path, value, *this);
  }
  if (mstrDeviceClass == kCashDrawerClass) {
    for (const modSetup::EntryValue& value : modSetup::DrawerValues()) {
      modSetup::ReadValue(path, value, *this);
    }
  }
}

bool clsOPOS::Read(const std::string& strFileName, const std::string& strDeviceType) {
  last_error_ = EntryError::None;
  Clear();
  const char letter = strDeviceType.empty() ? '\0' : strDeviceType.back();
  if (letter != 'S' && letter != 'P' && letter != 'N' && letter != 'U') {
    return Fail(EntryError::NoSection);
  }
  const std::string main = std::string(1, letter) + "MAIN";
  const std::string port = std::string(1, letter) + "PORT";
  const std::string option = std::string(1, letter) + "OPTION";
  auto text = [&](const std::string& section, const char* key) {
    return ReadInfValue(strFileName, section, key);
  };
  auto number = [&](const std::string& section, const char* key) {
    return ReadInfNumber(strFileName, section, key);
  };

  mstrDeviceClass = text(main, "DeviceClass");
  mstrDeviceName = text(main, "DeviceName");
  mstrKeyName = mstrDeviceName;
  mstrDeviceDesc = text(main, "DeviceDesc");
  mstrSOName = text(main, "SOName");
  mstrADKConfig = text(main, "ADKConfig");
  mstrPort = text(port, "Port");
  mlngInputBuf = number(port, "InputBuf");
  mlngOutputBuf = number(port, "OutputBuf");
  mlngTimeout = number(port, "Timeout");
  mlngPortShare = number(port, "PortShare");
  if (letter == 'N') {
    mstrIP = text(port, "IP");
  } else {
    mlngBaudrate = number(port, "Baudrate");
    mlngBitLength = number(port, "BitLength");
    mlngParity = number(port, "Parity");
    mlngStop = number(port, "Stop");
    mlngXonXoff = number(port, "XonXoff");
    mlngHandShake = number(port, "HandShake");
    mstrBaudrateSel = text(port, "BaudrateSel");
    mstrBitLengthSel = text(port, "BitLengthSel");
    mstrParitySel = text(port, "ParitySel");
    mstrStopSel = text(port, "StopSel");
    mstrXonXoffSel = text(port, "XonXoffSel");
    mstrHandShakeSel = text(port, "HandShakeSel");
    mlngIdleSleep = number(option, "IdleSleep");
    mlngInputSleep = number(option, "InputSleep");
  }
  if (mstrDeviceClass == kCashDrawerClass) {
    // A network drawer has no option section of its own and takes the parallel one's.
    const std::string drawer = letter == 'N' ? "POPTION" : option;
    mlngOpenLevel = number(drawer, "OpenLevel");
    mlngConnectorPinNo = number(drawer, "ConnectorPinNo");
    mlngPulseOnTime = number(drawer, "PulseOnTime");
    mlngPulseOffTime = number(drawer, "PulseOffTime");
  }
  mstrDescription = DescriptionOf(mstrDeviceClass);
  mstrVersion = "1.0";

  if (ClassKeyPath(mstrDeviceClass).empty() || mstrKeyName.empty()) {
    Clear();
    return Fail(EntryError::NoClass);
  }
  if (!Save(true)) {
    EntryError error = last_error_;
    reg::Status status = last_status_;
    Clear();
    return Fail(error, status);
  }
  return true;
}

bool clsOPOS::IsDeviceKeyName(const std::string& name) {
  return RegKeyStatus(ClassKeyPath(mstrDeviceClass) + "\\" + name) == reg::kSuccess;
}

bool clsOPOS::RenameKey(const std::string& strKeyName) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (!IsValidKeyName(strKeyName)) return Fail(EntryError::BadName);
  // A taken name would make Save pick a suffixed key while the LDNs already point at the
  // other entry; only a change of letter case of this entry's own name may pass.
  if (!SameIgnoringCase(strKeyName, mstrKeyName)) {
    reg::Status status = RegKeyStatus(base + "\\" + strKeyName);
    if (status == reg::kSuccess) return Fail(EntryError::NameTaken);
    if (status != reg::kNotFound) return Fail(EntryError::StoreFailure, status);
  }
  auto repoint = [&](const std::string& from, const std::string& to) {
    std::vector<std::string> names, values;
    GetLDN(names, values);
    for (size_t i = 0; i < names.size(); ++i) {
      if (values[i] != from) continue;
      RegDeleteNamedValue(base, names[i]);
      RegWriteString(base, names[i], to);
    }
  };
  repoint(mstrKeyName, strKeyName);
  const std::string old_path = base + "\\" + mstrKeyName;
  if (RegKeyExists(old_path)) RegRemoveKey(old_path);
  mstrKeyName = strKeyName;
  if (!Save(true)) return false;
  // Should another program have taken the name meanwhile, the LDNs follow the suffixed key.
  if (mstrKeyName != strKeyName) repoint(strKeyName, mstrKeyName);
  return true;
}

bool clsOPOS::AddLDN(const std::string& strLDN) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (strLDN.empty()) return Fail(EntryError::BadName);
  // The service objects try a name as an LDN first, so this LDN would hide that entry.
  if (IsDeviceKeyName(strLDN)) return Fail(EntryError::SameAsKeyName);
  reg::Status status = RegWriteString(base, strLDN, mstrKeyName);
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  return true;
}

void clsOPOS::RemoveLDN(const std::string& strLDN) {
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || strLDN.empty()) return;
  RegDeleteNamedValue(base, strLDN);
}

bool clsOPOS::RenameLDN(const std::string& strCurrent, const std::string& strNew) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (strNew.empty()) return Fail(EntryError::BadName);
  if (IsDeviceKeyName(strNew)) return Fail(EntryError::SameAsKeyName);
  if (!strCurrent.empty()) RegDeleteNamedValue(base, strCurrent);
  reg::Status status = RegWriteString(base, strNew, mstrKeyName);
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  return true;
}

int16_t clsOPOS::GetLDN(std::vector<std::string>& strEnvNames,
                        std::vector<std::string>& strEnvValues) {
  strEnvNames.clear();
  strEnvValues.clear();
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty()) return 0;
  RegEnumValues(base, strEnvNames, strEnvValues);
  return CountOf(strEnvNames);
}

std::vector<std::string> clsOPOS::OwnLDNs() {
  std::vector<std::string> names, values, own;
  GetLDN(names, values);
  for (size_t i = 0; i < names.size(); ++i) {
    if (values[i] == mstrKeyName && !mstrKeyName.empty()) own.push_back(names[i]);
  }
  return own;
}

void clsOPOS::Remove() {
  const std::string base = ClassKeyPath(mstrDeviceClass);
  // Without a key name the LDN test below would match every LDN with empty data and the
  // key path would name the class key itself.
  if (base.empty() || mstrKeyName.empty()) return;
  for (const std::string& ldn : OwnLDNs()) RegDeleteNamedValue(base, ldn);
  const std::string path = base + "\\" + mstrKeyName;
  if (RegKeyExists(path)) RegRemoveKey(path);
  Clear();
}

bool clsOPOS::ListPrinter(const std::string& strPvalue, const std::string& strPname) {
  RegWriteString(kTempCataloguePath, strPvalue, strPname);
  return true;
}

int16_t clsOPOS::GetListPrinter(std::vector<std::string>& strEnvNames,
                                std::vector<std::string>& strEnvValues) {
  RegEnumValues(kTempCataloguePath, strEnvNames, strEnvValues);
  return CountOf(strEnvNames);
}

}  // namespace confix
