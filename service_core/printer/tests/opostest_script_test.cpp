// The device tester drives the service object against the virtual printer: the example
// script, and a claim refused while the cover is open.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/event.h"
#include "printer_fixture.h"
#include "test_support/process.h"

namespace service_core::testing {
namespace {

// Runs opostest on `script` with the rig's registry; the transcript, and the exit status.
std::string RunTester(const PrinterRig& rig, const std::string& script, int& status) {
  const test_support::CommandRun run = test_support::RunCommand(
      std::string(OPOSTEST_PATH) + " --registry " + rig.RegistryPath() + " " + script);
  status = run.exit_code;
  return run.output;
}

class OpostestScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("TandorReceipt", device_->attachment.LinkPath(), "Thermal42", "",
                        "Receipt");
  }
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
};

TEST_F(OpostestScriptTest, ExampleScriptOpensClaimsEnablesAndReleases) {
  int status = -1;
  const std::string out = RunTester(rig_, std::string(EXAMPLES_DIR) + "/claim_release.txt", status);
  EXPECT_EQ(out,
            "p Open -> 0 rc=0 ext=0\n"
            "p DeviceName = \"RecPrinter.POSPrinter.SO\"\n"
            "p ClaimDevice -> 0 rc=0 ext=0\n"
            "p Claimed = 1\n"
            "p DeviceEnabled := 1 rc=0\n"
            "p FlagWhenIdle := 1 rc=0\n"
            "event p StatusUpdate 1001\n"
            "p State = 2\n"
            "p ReleaseDevice -> 0 rc=0 ext=0\n"
            "p Claimed = 0\n"
            "p Close -> 0 rc=0 ext=0\n");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(device_->printer.Status().asb_enabled);
}

TEST_F(OpostestScriptTest, CoverOpenRefusesTheClaimAndAnotherClaimSucceeds) {
  const std::string script = rig_.Dir() + "/cover.txt";
  std::ofstream(script) << "open p POSPrinter Receipt\n"
                           "p ClaimDevice 1000\n"
                           "sleep 100\n"
                           "p ClaimDevice 1000\n"
                           "p get ResultCodeExtended\n";
  device_->Set("cover open");
  // The tester runs the first claim while the cover is open; the test closes it meanwhile.
  std::thread closer([&] {
    while (device_->printer.Capture().empty()) platform::SleepMs(10);
    platform::SleepMs(1500);
    device_->Set("cover close");
  });
  int status = -1;
  const std::string out = RunTester(rig_, script, status);
  closer.join();
  EXPECT_EQ(out,
            "p Open -> 0 rc=0 ext=0\n"
            "p ClaimDevice -> 106 rc=106 ext=201\n"
            "p ClaimDevice -> 0 rc=0 ext=0\n"
            "p ResultCodeExtended = 0\n");
}

}  // namespace
}  // namespace service_core::testing
