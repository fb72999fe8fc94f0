#include "temp_registry.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "control_objects/device_lookup.h"
#include "platform/class_factory.h"
#include "platform/registry.h"

namespace opos::control::testing {

namespace reg = platform::registry;

std::string TestServiceLibrary() { return TEST_SO_PATH; }

TempRegistry::TempRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "opos-co-XXXXXX").string();
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
  dir_ = pattern;
  db_path_ = dir_ + "/registry.db";
  reg::UseDatabase(db_path_);

  void* library = dlopen(TEST_SO_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    ADD_FAILURE() << "dlopen: " << dlerror();
    return;
  }
  auto register_server = reinterpret_cast<platform::automation::RegisterServerFn>(
      dlsym(library, platform::automation::kRegisterServerExport));
  if (!register_server)
    ADD_FAILURE() << "no DllRegisterServer";
  else
    EXPECT_EQ(register_server(), 0);
  dlclose(library);
}

TempRegistry::~TempRegistry() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void TempRegistry::AddDevice(std::string_view device_class, std::string_view key,
                             std::string_view prog_id) {
  reg::Key device;
  ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine,
                             ClassKeyPath(device_class) + "\\" + std::string(key), device),
            reg::kSuccess);
  if (!prog_id.empty()) {
    ASSERT_EQ(device.SetString("", prog_id), reg::kSuccess);
  }
}

void TempRegistry::AddLogicalName(std::string_view device_class, std::string_view name,
                                  std::string_view key) {
  reg::Key class_key;
  ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine, ClassKeyPath(device_class), class_key),
            reg::kSuccess);
  ASSERT_EQ(class_key.SetString(name, key), reg::kSuccess);
}

void TempRegistry::SetDeviceDword(std::string_view device_class, std::string_view key,
                                  std::string_view value_name, uint32_t value) {
  reg::Key device;
  ASSERT_EQ(reg::Key::Create(reg::Root::LocalMachine,
                             ClassKeyPath(device_class) + "\\" + std::string(key), device),
            reg::kSuccess);
  ASSERT_EQ(device.SetDword(value_name, value), reg::kSuccess);
}

}  // namespace opos::control::testing
