#include "mod_regedit.h"

#include <cstdio>

namespace confix::modRegedit {

namespace reg = platform::registry;

namespace {

constexpr reg::Root kRoot = reg::Root::LocalMachine;
constexpr uint32_t kMaxSubKeys = 1025;

// Hexadecimal text of the bytes from the last to the first, as the registry editor shows
// a number.
std::string HexLastByteFirst(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (size_t i = bytes.size(); i-- > 0;) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

std::string DataText(const reg::Value& value) {
  switch (value.type) {
    case reg::ValueType::String: {
      std::string text(value.data.begin(), value.data.end());
      while (!text.empty() && text.back() == '\0') text.pop_back();
      return text;
    }
    case reg::ValueType::Dword:
    case reg::ValueType::Binary:
      return HexLastByteFirst(value.data);
  }
  return {};
}

}  // namespace

Status RegOpenOrCreateKey(const std::string& path) {
  reg::Key key;
  Status status = reg::Key::Open(kRoot, path, reg::Access::Write, key);
  if (status == reg::kNotFound) status = reg::Key::Create(kRoot, path, key);
  return status;
}

Status RegWriteString(const std::string& path, const std::string& name, const std::string& text) {
  reg::Key key;
  Status status = reg::Key::Create(kRoot, path, key);
  if (status != reg::kSuccess) return status;
  return key.SetString(name, text);
}

std::string RegReadString(const std::string& path, const std::string& name) {
  reg::Key key;
  reg::Value value;
  if (reg::Key::Open(kRoot, path, reg::Access::Read, key) != reg::kSuccess ||
      key.QueryValue(name, value) != reg::kSuccess || value.type != reg::ValueType::String) {
    return {};
  }
  // Another program may have stored the terminating zero with the text; it is not part of it.
  return DataText(value);
}

Status RegWriteDword(const std::string& path, const std::string& name, int32_t number) {
  reg::Key key;
  Status status = reg::Key::Create(kRoot, path, key);
  if (status != reg::kSuccess) return status;
  return key.SetDword(name, static_cast<uint32_t>(number));
}

int32_t RegReadDword(const std::string& path, const std::string& name) {
  reg::Key key;
  uint32_t number = 0;
  if (reg::Key::Open(kRoot, path, reg::Access::Read, key) != reg::kSuccess ||
      key.QueryDword(name, number) != reg::kSuccess) {
    return 0;
  }
  return static_cast<int32_t>(number);
}

Status RegDeleteNamedValue(const std::string& path, const std::string& name) {
  reg::Key key;
  Status status = reg::Key::Create(kRoot, path, key);
  if (status != reg::kSuccess) return status;
  return key.DeleteValue(name);
}

Status RegRemoveKey(const std::string& path) {
  reg::Key root;
  Status status = reg::Key::Open(kRoot, "", reg::Access::Write, root);
  if (status != reg::kSuccess) return status;
  return root.DeleteSubKey(path);
}

Status RegRemoveTree(const std::string& path) {
  reg::Key root;
  Status status = reg::Key::Open(kRoot, "", reg::Access::Write, root);
  if (status != reg::kSuccess) return status;
  return root.DeleteTree(path);
}

Status RegCopyTree(const std::string& from, const std::string& to) {
  reg::Key source, target;
  Status status = reg::Key::Open(kRoot, from, reg::Access::Read, source);
  if (status == reg::kSuccess) status = reg::Key::Create(kRoot, to, target);
  std::string name;
  for (uint32_t i = 0; status == reg::kSuccess; ++i) {
    reg::Value value;
    status = source.EnumValue(i, name, &value);
    if (status == reg::kNoMoreItems) break;
    if (status == reg::kSuccess) status = target.SetValue(name, value);
  }
  for (uint32_t i = 0; status == reg::kSuccess || status == reg::kNoMoreItems; ++i) {
    status = source.EnumSubKey(i, name);
    if (status == reg::kNoMoreItems) return reg::kSuccess;
    if (status == reg::kSuccess) status = RegCopyTree(from + "\\" + name, to + "\\" + name);
  }
  return status;
}

Status RegKeyStatus(const std::string& path) {
  reg::Key key;
  return reg::Key::Open(kRoot, path, reg::Access::Write, key);
}

bool RegKeyExists(const std::string& path) { return RegKeyStatus(path) != reg::kNotFound; }

std::vector<std::string> RegEnumSubKeys(const std::string& path, Status* status) {
  std::vector<std::string> names;
  Status result = RegOpenOrCreateKey(path);
  reg::Key key;
  if (result == reg::kSuccess) result = reg::Key::Open(kRoot, path, reg::Access::Read, key);
  // A key that is missing (and cannot be made, as in a read-only store) has no subkeys.
  if (result != reg::kSuccess && RegKeyStatus(path) == reg::kNotFound) result = reg::kSuccess;
  std::string name;
  for (uint32_t i = 0; result == reg::kSuccess && key.IsOpen() && i < kMaxSubKeys; ++i) {
    Status listed = key.EnumSubKey(i, name);
    if (listed == reg::kNoMoreItems) break;
    if (listed != reg::kSuccess) result = listed; else names.push_back(name);
  }
  if (status != nullptr) *status = result;
  return names;
}

Status RegEnumValues(const std::string& path, std::vector<std::string>& names,
                     std::vector<std::string>& values) {
  names.clear();
  values.clear();
  reg::Key key;
  uint32_t count = 0;
  Status status = reg::Key::Open(kRoot, path, reg::Access::Read, key);
  if (status == reg::kSuccess) status = key.QueryInfo(nullptr, &count);
  if (status == reg::kNotFound || (status == reg::kSuccess && count == 0)) return -1;
  if (status != reg::kSuccess) return status;
  for (uint32_t i = 0; i < count; ++i) {
    std::string name;
    reg::Value value;
    Status status = key.EnumValue(i, name, &value);
    if (status != reg::kSuccess) return status;
    names.push_back(name);
    values.push_back(DataText(value));
  }
  return reg::kSuccess;
}

}  // namespace confix::modRegedit
