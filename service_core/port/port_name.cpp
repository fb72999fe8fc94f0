#include "port_name.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/registry.h"

namespace service_core {
namespace {

constexpr const char* kPortMapKey = "SOFTWARE\\OLEforRetail\\PortMap";

bool IsComName(const std::string& name) {
  if (name.size() != 4 && name.size() != 5) return false;
  if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(name[2])) != 'M') {
    return false;
  }
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

}  // namespace

ResolvedPort ResolvePortName(const std::string& name) {
  ResolvedPort port;
  if (!IsComName(name)) {
    port.path = name;
    return port;
  }
  port.number = std::stoi(name.substr(3));
  using namespace platform::registry;
  Key map;
  std::string mapped;
  if (Key::Open(Root::LocalMachine, kPortMapKey, Access::Read, map) == kSuccess &&
      map.QueryString(name, mapped) == kSuccess && !mapped.empty()) {
    port.path = mapped;
  } else if (port.number >= 1) {
    port.path = "/dev/ttyS" + std::to_string(port.number - 1);
  }
  return port;
}

std::string DeviceIdentity(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  if (S_ISCHR(st.st_mode)) return "c:" + std::to_string(st.st_rdev);
  return "f:" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace service_core
