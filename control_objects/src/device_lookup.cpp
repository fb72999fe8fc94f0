#include "control_objects/device_lookup.h"

#include "control_objects/member_table.h"
#include "control_objects/opos_codes.h"
#include "platform/registry.h"

namespace opos::control {

namespace reg = platform::registry;

std::string ClassKeyPath(std::string_view class_name) {
  return "Software\\OLEforRetail\\ServiceOPOS\\" + std::string(class_name);
}

namespace {

// A name with a backslash would address a key deeper in the tree than one device entry.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name.find('\\') == std::string_view::npos;
}

}  // namespace

int32_t FindDeviceEntry(std::string_view class_name, std::string_view device_name,
                        DeviceEntry& entry, std::string* problem) {
  entry = {};
  if (problem) problem->clear();
  if (!IsPlainName(device_name)) return kNoExist;

  // A missing key is an ordinary answer; any other failure means the store itself could not
  // be read, and the caller is told why.
  auto unreadable = [&](reg::Status status) {
    if (problem && status != reg::kSuccess && status != reg::kNotFound) {
      const std::string reason = reg::LastErrorMessage();
      *problem = "the registry store cannot be read (error " + std::to_string(status) + ")" +
                 (reason.empty() ? "" : ": " + reason);
    }
    return status != reg::kSuccess && status != reg::kNotFound;
  };

  std::string key_name(device_name);
  reg::Key class_key;
  const reg::Status class_status = reg::Key::Open(
      reg::Root::LocalMachine, ClassKeyPath(class_name), reg::Access::Read, class_key);
  if (unreadable(class_status)) return kNoExist;
  if (class_status == reg::kSuccess) {
    std::string logical_target;
    if (class_key.QueryString(device_name, logical_target) == reg::kSuccess &&
        !logical_target.empty()) {
      key_name = logical_target;
    }
  }
  if (!IsPlainName(key_name)) return kNoExist;

  std::string device_path =
      "SOFTWARE\\OLEforRetail\\ServiceOPOS\\" + std::string(class_name) + "\\" + key_name;
  reg::Key device_key;
  const reg::Status device_status =
      reg::Key::Open(reg::Root::LocalMachine, device_path, reg::Access::Read, device_key);
  if (device_status != reg::kSuccess) {
    unreadable(device_status);
    return kNoExist;
  }
  entry.key_name = key_name;
  if (device_key.QueryString("", entry.prog_id) != reg::kSuccess) entry.prog_id.clear();
  return kSuccess;
}

int32_t ListDeviceEntries(std::vector<DeviceListing>& entries, std::string* problem) {
  entries.clear();
  if (problem) problem->clear();
  auto fail = [&](reg::Status status) {
    if (problem) {
      const std::string reason = reg::LastErrorMessage();
      *problem = "the registry store cannot be read (error " + std::to_string(status) + ")" +
                 (reason.empty() ? "" : ": " + reason);
    }
    entries.clear();
    return kNoExist;
  };
  for (const DeviceTable* table : {&PosPrinterTable(), &CashDrawerTable(), &LineDisplayTable()}) {
    reg::Key class_key;
    const reg::Status opened = reg::Key::Open(
        reg::Root::LocalMachine, ClassKeyPath(table->class_name), reg::Access::Read, class_key);
    if (opened == reg::kNotFound) continue;
    if (opened != reg::kSuccess) return fail(opened);

    const size_t first = entries.size();
    std::string name;
    reg::Status status;
    for (uint32_t i = 0; (status = class_key.EnumSubKey(i, name)) == reg::kSuccess; ++i) {
      DeviceListing entry{std::string(table->class_name), name, {}, {}};
      reg::Key device_key;
      if (class_key.OpenSubKey(name, reg::Access::Read, device_key) == reg::kSuccess &&
          device_key.QueryString("", entry.prog_id) != reg::kSuccess) {
        entry.prog_id.clear();
      }
      entries.push_back(std::move(entry));
    }
    if (status != reg::kNoMoreItems) return fail(status);

    // Logical names are the class key's string values; each names a device key.
    reg::Value value;
    for (uint32_t i = 0; (status = class_key.EnumValue(i, name, &value)) == reg::kSuccess; ++i) {
      if (name.empty() || value.type != reg::ValueType::String) continue;
      const std::string target = value.AsString();
      for (size_t e = first; e < entries.size(); ++e) {
        if (EqualsIgnoreCase(entries[e].key_name, target)) {
          entries[e].logical_names.push_back(name);
          break;
        }
      }
    }
    if (status != reg::kNoMoreItems) return fail(status);
  }
  return kSuccess;
}

}  // namespace opos::control
