// One OPOS device entry of the printer or cash drawer class, as the setup utility keeps it
// in the registry: the fields every window edits, and the methods that read, write, rename
// and remove the entry and its logical device names (LDNs). Nothing is cached; every
// method opens and closes its keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace confix {

inline constexpr const char* kPosPrinterClass = "POSPrinter";
inline constexpr const char* kCashDrawerClass = "CashDrawer";
inline constexpr const char* kPosPrinterKeyPath = "Software\\OLEforRetail\\ServiceOPOS\\POSPrinter";
inline constexpr const char* kCashDrawerKeyPath = "Software\\OLEforRetail\\ServiceOPOS\\CashDrawer";
// Device-name to type pairs of the listed device information files, while the Add New
// Device dialog is open.
inline constexpr const char* kTempCataloguePath = "Software\\OLEforRetail\\ServiceOPOS\\Temp";

// The class key of "POSPrinter" or "CashDrawer" (exact case); empty for any other text.
std::string ClassKeyPath(const std::string& device_class);

// Why a change was refused or failed (see clsOPOS::LastError).
enum class EntryError {
  None,
  NoClass,         // the entry has no device class or no key name
  BadName,         // empty, too long, or holding a backslash or a control character
  NameTaken,       // another entry of the class already has that key name
  SameAsKeyName,   // an LDN equal to a device name key of the class
  NoFreeName,      // no unused suffixed name within the bound
  StoreFailure,    // the registry could not be read or written (see LastStatus)
  NoSection,       // a device name without a link letter S, P, U or N
  BadLdnName,      // an LDN that is empty, too long or holds a control character
  InfMissing,      // the device information file does not exist
  InfNotAFile,     // it is a directory or another kind of non-file
  InfUnreadable,   // it cannot be opened for reading
  InfNoDevice,     // its section for the link letter names no class and device name
  InfOtherDevice,  // its section for the link letter describes another device name
};

class clsOPOS {
 public:
  std::string mstrKeyName;      // the device name key (subkey name)
  std::string mstrDeviceClass;  // "POSPrinter" or "CashDrawer"
  std::string mstrDeviceName;
  std::string mstrDeviceDesc;
  std::string mstrSOName;  // the default value: the service object's ProgID
  std::string mstrADKConfig;
  std::string mstrIP;
  std::string mstrPort;
  int32_t mlngBaudrate = 0;
  int32_t mlngBitLength = 0;
  int32_t mlngParity = 0;
  int32_t mlngStop = 0;
  int32_t mlngXonXoff = 0;
  int32_t mlngHandShake = 0;
  int32_t mlngInputBuf = 0;
  int32_t mlngOutputBuf = 0;
  int32_t mlngTimeout = 0;
  int32_t mlngPortShare = 0;
  std::string mstrBaudrateSel;
  std::string mstrBitLengthSel;
  std::string mstrParitySel;
  std::string mstrStopSel;
  std::string mstrXonXoffSel;
  std::string mstrHandShakeSel;
  int32_t mlngIdleSleep = 0;
  int32_t mlngInputSleep = 0;
  int32_t mlngPulseOnTime = 0;
  int32_t mlngPulseOffTime = 0;
  int32_t mlngConnectorPinNo = 0;
  int32_t mlngOpenLevel = 0;
  std::string mstrDescription;
  std::string mstrVersion;

  // Every string empty, every number 0.
  void Clear();
  // Fills the fields from the device information file for `strDeviceType` (for example
  // "ThermalP") and saves them as a new entry, suffixed "_2", "_3"... when the name is
  // taken. False, with the fields cleared and nothing written, when the device name has no
  // link letter, the file cannot be read, its section for that letter names no known class
  // or another device name, or the entry cannot be written.
  //
  // Every method that changes the store does it in one store transaction: the change is
  // made whole or not at all, also when the process is killed in the middle of it.
  bool Read(const std::string& strFileName, const std::string& strDeviceType);
  // Renames the entry's key (with any subkeys it has) and re-points its LDNs. Refused
  // (false, nothing changed) for a bad name or a name another entry of the class already
  // has.
  bool RenameKey(const std::string& strKeyName);
  // Writes every field to the entry's key; with blnIsNew the key name is first made unique.
  // False when the entry has no class or key name, or the store refuses the key.
  bool Save(bool blnIsNew);
  // Fills the fields from an existing entry; missing values read as empty or 0.
  void Load(const std::string& strDeviceClass, const std::string& strKeyName);
  // Points the LDN at this entry. Refused for an empty name or one equal to a device name
  // key of the class (it would hide that entry from the service objects).
  bool AddLDN(const std::string& strLDN);
  bool RemoveLDN(const std::string& strLDN);
  // Removes `strCurrent` and points `strNew` at this entry; refused as AddLDN, before
  // anything is removed.
  bool RenameLDN(const std::string& strCurrent, const std::string& strNew);
  // Every value of the class key (the LDNs of all entries of the class); returns the count.
  // A store that cannot be read gives none and LastError() StoreFailure.
  int16_t GetLDN(std::vector<std::string>& strEnvNames, std::vector<std::string>& strEnvValues);
  // The LDNs that point at this entry, in enumeration order.
  std::vector<std::string> OwnLDNs();
  // Deletes the entry's key with everything below it and exactly the LDNs that point at it,
  // then clears the fields. False, with nothing removed and the fields kept, when the store
  // refuses.
  bool Remove();
  bool ListPrinter(const std::string& strPvalue, const std::string& strPname);
  int16_t GetListPrinter(std::vector<std::string>& strEnvNames,
                         std::vector<std::string>& strEnvValues);

  EntryError LastError() const { return last_error_; }
  platform::registry::Status LastStatus() const { return last_status_; }
  // A sentence for the command line and the windows, empty when the last call succeeded.
  std::string LastErrorText() const;

  // Bound of the unique-name search: ThermalS, ThermalS_2 ... ThermalS_<kMaxSuffix>.
  static constexpr int kMaxSuffix = 9999;

 private:
  // The full path of the entry's key; with isNew, `keyName` becomes the first unused name.
  // Empty when there is no class, or no unused name can be found.
  std::string BuildKeyPath(const std::string& deviceClass, std::string& keyName, bool isNew);
  bool IsDeviceKeyName(const std::string& name);
  bool Fail(EntryError error, platform::registry::Status status = 0);

  bool RepointLDNs(const std::string& from, const std::string& to);
  bool CheckInfFile(const std::string& file, const std::string& device_name, char letter);
  bool FailWithFile(EntryError error, std::string sentence);

  EntryError last_error_ = EntryError::None;
  std::string last_detail_;  // the sentence for the device information file errors
  platform::registry::Status last_status_ = 0;
};

// Key names the store accepts and that stay one key: 1 to 255 characters, no backslash,
// no control character.
bool IsValidKeyName(const std::string& name);
// Logical device names: 1 to 255 characters, no control character.
bool IsValidLdnName(const std::string& name);

}  // namespace confix
