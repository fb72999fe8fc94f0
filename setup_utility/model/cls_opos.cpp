#include "cls_opos.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// Where a renamed key's tree waits between its removal and its copy under the new name;
// it exists only inside the rename's transaction.
constexpr const char* kRenameStagingPath = "Software\\OLEforRetail\\ServiceOPOS\\Renaming";

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

bool IsValidLdnName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

bool clsOPOS::FailWithFile(EntryError error, std::string sentence) {
  last_detail_ = std::move(sentence);
  return Fail(error);
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
    case EntryError::BadLdnName:
      return "A logical device name must have 1 to 255 characters and no control character.";
    case EntryError::InfMissing:
    case EntryError::InfNotAFile:
    case EntryError::InfUnreadable:
    case EntryError::InfNoDevice:
    case EntryError::InfOtherDevice:
      return last_detail_;
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
  if (ClassKeyPath(mstrDeviceClass).empty() || mstrKeyName.empty()) {
    return Fail(EntryError::NoClass);
  }
  reg::Transaction tx;
  if (tx.Begun() != reg::kSuccess) return Fail(EntryError::StoreFailure, tx.Begun());
  std::string key_name = mstrKeyName;
  const std::string path = BuildKeyPath(mstrDeviceClass, key_name, blnIsNew);
  if (path.empty()) return false;
  std::vector<modSetup::EntryValue> values(modSetup::CommonValues().begin(),
                                           modSetup::CommonValues().end());
  if (mstrDeviceClass == kCashDrawerClass) {
    values.insert(values.end(), modSetup::DrawerValues().begin(), modSetup::DrawerValues().end());
  }
  for (const modSetup::EntryValue& value : values) {
    reg::Status status = modSetup::WriteValue(path, value, *this);
    if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  }
  if (reg::Status status = tx.Commit(); status != reg::kSuccess) {
    return Fail(EntryError::StoreFailure, status);
  }
  mstrKeyName = key_name;
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
  if (!CheckInfFile(strFileName, strDeviceType, letter)) return false;
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

bool clsOPOS::CheckInfFile(const std::string& file, const std::string& device_name,
                           char letter) {
  const std::string named = "The device information file " + file;
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!std::filesystem::exists(status)) return FailWithFile(EntryError::InfMissing, named + " does not exist.");
  if (std::filesystem::is_directory(status)) {
    return FailWithFile(EntryError::InfNotAFile, named + " is a directory, not a file.");
  }
  if (!std::ifstream(file)) return FailWithFile(EntryError::InfUnreadable, named + " cannot be read.");
  const std::string section = std::string(1, letter) + "MAIN";
  const std::string device_class = ReadInfValue(file, section, "DeviceClass");
  const std::string described = ReadInfValue(file, section, "DeviceName");
  if (ClassKeyPath(device_class).empty() || described.empty()) {
    return FailWithFile(EntryError::InfNoDevice,
                        named + " has no section " + section +
                            " with a DeviceClass POSPrinter or CashDrawer and a DeviceName.");
  }
  if (described != device_name) {
    return FailWithFile(EntryError::InfOtherDevice, named + " describes " + described +
                                                        " in its section " + section + ", not " +
                                                        device_name + ".");
  }
  return true;
}

bool clsOPOS::IsDeviceKeyName(const std::string& name) {
  return RegKeyStatus(ClassKeyPath(mstrDeviceClass) + "\\" + name) == reg::kSuccess;
}

bool clsOPOS::RepointLDNs(const std::string& from, const std::string& to) {
  const std::string base = ClassKeyPath(mstrDeviceClass);
  std::vector<std::string> names, values;
  reg::Status status = RegEnumValues(base, names, values);
  if (status != reg::kSuccess && status != -1) return Fail(EntryError::StoreFailure, status);
  for (size_t i = 0; i < names.size(); ++i) {
    if (values[i] != from) continue;
    status = RegDeleteNamedValue(base, names[i]);
    if (status == reg::kSuccess) status = RegWriteString(base, names[i], to);
    if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  }
  return true;
}

bool clsOPOS::RenameKey(const std::string& strKeyName) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (!IsValidKeyName(strKeyName)) return Fail(EntryError::BadName);
  reg::Transaction tx;
  if (tx.Begun() != reg::kSuccess) return Fail(EntryError::StoreFailure, tx.Begun());
  // A taken name would leave the LDNs pointing at the other entry; only a change of
  // letter case of this entry's own name may pass.
  if (!SameIgnoringCase(strKeyName, mstrKeyName)) {
    reg::Status status = RegKeyStatus(base + "\\" + strKeyName);
    if (status == reg::kSuccess) return Fail(EntryError::NameTaken);
    if (status != reg::kNotFound) return Fail(EntryError::StoreFailure, status);
  }
  const std::string old_key = mstrKeyName;
  if (!RepointLDNs(old_key, strKeyName)) return false;
  // The key moves with everything below it. It goes through a staging key because a change
  // of letter case only is the same key to the store.
  const std::string old_path = base + "\\" + old_key;
  reg::Status status = RegKeyStatus(old_path);
  if (status == reg::kSuccess) {
    status = RegCopyTree(old_path, kRenameStagingPath);
    if (status == reg::kSuccess) status = RegRemoveTree(old_path);
    if (status == reg::kSuccess) status = RegCopyTree(kRenameStagingPath, base + "\\" + strKeyName);
    if (status == reg::kSuccess) status = RegRemoveTree(kRenameStagingPath);
  } else if (status == reg::kNotFound) {
    status = reg::kSuccess;
  }
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  mstrKeyName = strKeyName;
  if (!Save(false)) {
    mstrKeyName = old_key;
    return false;
  }
  if (status = tx.Commit(); status != reg::kSuccess) {
    mstrKeyName = old_key;
    return Fail(EntryError::StoreFailure, status);
  }
  return true;
}

bool clsOPOS::AddLDN(const std::string& strLDN) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (!IsValidLdnName(strLDN)) return Fail(EntryError::BadLdnName);
  reg::Transaction tx;
  if (tx.Begun() != reg::kSuccess) return Fail(EntryError::StoreFailure, tx.Begun());
  // The service objects try a name as an LDN first, so this LDN would hide that entry.
  if (IsDeviceKeyName(strLDN)) return Fail(EntryError::SameAsKeyName);
  reg::Status status = RegWriteString(base, strLDN, mstrKeyName);
  if (status == reg::kSuccess) status = tx.Commit();
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  return true;
}

bool clsOPOS::RemoveLDN(const std::string& strLDN) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty()) return Fail(EntryError::NoClass);
  if (strLDN.empty()) return Fail(EntryError::BadLdnName);
  reg::Status status = RegDeleteNamedValue(base, strLDN);
  if (status != reg::kSuccess && status != reg::kNotFound) {
    return Fail(EntryError::StoreFailure, status);
  }
  return true;
}

bool clsOPOS::RenameLDN(const std::string& strCurrent, const std::string& strNew) {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  if (!IsValidLdnName(strNew)) return Fail(EntryError::BadLdnName);
  reg::Transaction tx;
  if (tx.Begun() != reg::kSuccess) return Fail(EntryError::StoreFailure, tx.Begun());
  if (IsDeviceKeyName(strNew)) return Fail(EntryError::SameAsKeyName);
  reg::Status status = reg::kSuccess;
  if (!strCurrent.empty()) status = RegDeleteNamedValue(base, strCurrent);
  if (status == reg::kNotFound) status = reg::kSuccess;
  if (status == reg::kSuccess) status = RegWriteString(base, strNew, mstrKeyName);
  if (status == reg::kSuccess) status = tx.Commit();
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  return true;
}

int16_t clsOPOS::GetLDN(std::vector<std::string>& strEnvNames,
                        std::vector<std::string>& strEnvValues) {
  last_error_ = EntryError::None;
  strEnvNames.clear();
  strEnvValues.clear();
  const std::string base = ClassKeyPath(mstrDeviceClass);
  if (base.empty()) return 0;
  reg::Status status = RegEnumValues(base, strEnvNames, strEnvValues);
  if (status != reg::kSuccess && status != -1) {
    strEnvNames.clear();
    strEnvValues.clear();
    Fail(EntryError::StoreFailure, status);
  }
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

bool clsOPOS::Remove() {
  last_error_ = EntryError::None;
  const std::string base = ClassKeyPath(mstrDeviceClass);
  // Without a key name the LDN test below would match every LDN with empty data and the
  // key path would name the class key itself.
  if (base.empty() || mstrKeyName.empty()) return Fail(EntryError::NoClass);
  reg::Transaction tx;
  if (tx.Begun() != reg::kSuccess) return Fail(EntryError::StoreFailure, tx.Begun());
  const std::vector<std::string> own = OwnLDNs();
  if (last_error_ != EntryError::None) return false;
  reg::Status status = reg::kSuccess;
  for (size_t i = 0; i < own.size() && status == reg::kSuccess; ++i) {
    status = RegDeleteNamedValue(base, own[i]);
  }
  if (status == reg::kSuccess) status = RegRemoveTree(base + "\\" + mstrKeyName);
  if (status == reg::kNotFound) status = reg::kSuccess;
  if (status == reg::kSuccess) status = tx.Commit();
  if (status != reg::kSuccess) return Fail(EntryError::StoreFailure, status);
  Clear();
  return true;
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
