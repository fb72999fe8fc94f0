#include "control_objects/device_lookup.h"

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

}  // namespace opos::control
