#include "classes_root.h"

#include <stdexcept>

#include "platform/registry.h"

namespace automation_test {

namespace reg = platform::registry;

std::string ClassesRootDefault(const std::string& path) {
  reg::Key key;
  std::string value;
  if (reg::Key::Open(reg::Root::ClassesRoot, path, reg::Access::Read, key) != reg::kSuccess ||
      key.QueryString("", value) != reg::kSuccess) {
    return "<missing>";
  }
  return value;
}

void WriteClassesRootDefault(const std::string& path, const std::string& value) {
  reg::Key key;
  if (reg::Key::Create(reg::Root::ClassesRoot, path, key) != reg::kSuccess ||
      key.SetString("", value) != reg::kSuccess) {
    throw std::runtime_error("cannot write HKCR\\" + path);
  }
}

}  // namespace automation_test
