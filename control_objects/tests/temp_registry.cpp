#include "temp_registry.h"

#include <gtest/gtest.h>

#include "control_objects/device_lookup.h"
#include "platform/registry.h"

namespace opos::control::testing {

namespace reg = platform::registry;

std::string TestServiceLibrary() { return TEST_SO_PATH; }

TempRegistry::TempRegistry() : test_support::TempRegistry("opos-co") {
  EXPECT_TRUE(test_support::RegisterServerLibrary(TEST_SO_PATH));
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
