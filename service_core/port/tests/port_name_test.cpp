#include "port_name.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/registry.h"

namespace service_core {
namespace {

namespace reg = platform::registry;

TEST(PortNameTest, ComNamesUseThePortMapOrTheSerialDevices) {
  std::string dir = (std::filesystem::temp_directory_path() / "portname-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  reg::UseDatabase(dir + "/registry.db");
  std::string error;
  ASSERT_EQ(reg::ImportRegedit("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\PortMap]\n"
                               "\"COM12\"=\"/dev/ttyUSB0\"\n",
                               &error),
            reg::kSuccess)
      << error;

  EXPECT_EQ(ResolvePortName("COM3").path, "/dev/ttyS2");
  EXPECT_EQ(ResolvePortName("COM3").number, 3);
  EXPECT_EQ(ResolvePortName("com12").path, "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortName("COM12").number, 12);
  EXPECT_EQ(ResolvePortName("COM5x").path, "COM5x");  // not a COM name: a path
  EXPECT_EQ(ResolvePortName("COM5x").number, 0);
  EXPECT_EQ(ResolvePortName("COM0").path, "");  // no such port
  EXPECT_EQ(ResolvePortName("/tmp/x").path, "/tmp/x");

  // Two names of one device have one identity; a missing path has none.
  const std::string file = dir + "/device", link = dir + "/link";
  std::FILE* f = std::fopen(file.c_str(), "w");
  std::fclose(f);
  std::filesystem::create_symlink(file, link);
  EXPECT_FALSE(DeviceIdentity(file).empty());
  EXPECT_EQ(DeviceIdentity(file), DeviceIdentity(link));
  EXPECT_EQ(DeviceIdentity(dir + "/none"), "");
  EXPECT_NE(DeviceIdentity("/dev/null"), DeviceIdentity("/dev/zero"));
  reg::UseDatabase("");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace service_core
