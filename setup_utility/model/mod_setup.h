// The values of a device entry as one table, in the order they are written and read: the
// registry name, whether it is a string or a number, and the clsOPOS field it holds. The
// four drawer values come last and belong to cash drawer entries only.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace confix {

class clsOPOS;

namespace modSetup {

struct EntryValue {
  const char* name;  // "" is the default value
  std::string clsOPOS::*text = nullptr;
  int32_t clsOPOS::*number = nullptr;
};

// Every entry's values, then the drawer values.
std::span<const EntryValue> CommonValues();
std::span<const EntryValue> DrawerValues();

// The status of the write (0 on success).
long WriteValue(const std::string& path, const EntryValue& value, const clsOPOS& entry);
void ReadValue(const std::string& path, const EntryValue& value, clsOPOS& entry);

}  // namespace modSetup
}  // namespace confix
