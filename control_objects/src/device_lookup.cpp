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
                        DeviceEntry& entry) {
  entry = {};
  if (!IsPlainName(device_name)) return kNoExist;

  std::string key_name(device_name);
  reg::Key class_key;
  if (reg::Key::Open(reg::Root::LocalMachine, ClassKeyPath(class_name), reg::Access::Read,
                     class_key) == reg::kSuccess) {
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
  if (reg::Key::Open(reg::Root::LocalMachine, device_path, reg::Access::Read, device_key) !=
      reg::kSuccess) {
    return kNoExist;
  }
  entry.key_name = key_name;
  if (device_key.QueryString("", entry.prog_id) != reg::kSuccess) entry.prog_id.clear();
  return kSuccess;
}

}  // namespace opos::control
