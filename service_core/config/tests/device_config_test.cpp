#include "device_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/registry.h"

namespace service_core {
namespace {

using namespace platform::registry;

class DeviceConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("devcfg-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    UseDatabase((dir_ / "registry.sqlite").string());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static void Import(const std::string& text) {
    std::string error;
    ASSERT_EQ(ImportRegedit("REGEDIT4\n\n" + text, &error), kSuccess) << error;
  }

  std::filesystem::path dir_;
};

constexpr const char* kPrinterEntry = R"([HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\POSPrinter\TM1]
"Baudrate"=dword:00000006
"BitLength"=dword:00000008
"HandShake"=dword:00000000
"Parity"=dword:00000000
"Stop"=dword:00000001
"XonXoff"=dword:00000000
"Port"="COM2"
"DeviceName"="Thermal42"
)";

TEST_F(DeviceConfigTest, ReadsEntryThroughLogicalNameWithDefaults) {
  Import(std::string(kPrinterEntry) +
         "\n[HKEY_LOCAL_MACHINE\\Software\\OLEforRetail\\ServiceOPOS\\POSPrinter]\n"
         "\"Receipt\"=\"TM1\"\n\"Empty\"=\"\"\n");
  SerialConfiguration config;
  ASSERT_EQ(ReadSerialConfiguration(DeviceClass::POSPrinter, "Receipt", config),
            ConfigResult::kOk);
  EXPECT_EQ(config.baudrate, 6);
  EXPECT_EQ(config.port, "COM2");
  EXPECT_EQ(config.device_name, "Thermal42");
  EXPECT_EQ(config.input_buf, 1024);
  EXPECT_EQ(config.output_buf, 1024);
  EXPECT_EQ(config.input_sleep, 24);

  // An empty logical name is no indirection: the name itself is looked up as the key.
  EXPECT_EQ(ReadSerialConfiguration(DeviceClass::POSPrinter, "Empty", config),
            ConfigResult::kNoDeviceKey);
  EXPECT_EQ(ReadSerialConfiguration(DeviceClass::POSPrinter, "tm1", config), ConfigResult::kOk);
  EXPECT_EQ(ReadSerialConfiguration(DeviceClass::CashDrawer, "TM1", config),
            ConfigResult::kNoDeviceKey);
}

TEST_F(DeviceConfigTest, MissingRequiredValueIsNamed) {
  Import(kPrinterEntry);
  Key key;
  ASSERT_EQ(Key::Open(Root::LocalMachine, "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\TM1",
                      Access::Write, key),
            kSuccess);
  for (const char* name : {"DeviceName", "Port", "Stop"}) {
    ASSERT_EQ(key.DeleteValue(name), kSuccess);
    SerialConfiguration config;
    std::string missing;
    EXPECT_EQ(ReadSerialConfiguration(DeviceClass::POSPrinter, "TM1", config, &missing),
              ConfigResult::kMissingValue);
    EXPECT_EQ(missing, name);
  }
}

TEST_F(DeviceConfigTest, DrawerReadsPinAndLevel) {
  Import(R"([HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\CashDrawer\D1]
"Baudrate"=dword:00000006
"BitLength"=dword:00000008
"HandShake"=dword:00000000
"Parity"=dword:00000000
"Stop"=dword:00000001
"XonXoff"=dword:00000000
"Port"="COM2"
"ConnectorPinNo"=dword:00000002
"DeviceName"="Standard"
)");
  SerialConfiguration config;
  ASSERT_EQ(ReadSerialConfiguration(DeviceClass::CashDrawer, "D1", config), ConfigResult::kOk);
  EXPECT_EQ(config.connector_pin, 2);
  EXPECT_EQ(config.open_level, 1);
}

}  // namespace
}  // namespace service_core
