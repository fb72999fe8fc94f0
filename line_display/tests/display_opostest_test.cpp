// The device tester drives the display: the example script, and the interactive health
// check through its dialog.
#include <gtest/gtest.h>

#include <fstream>

#include "display_fixture.h"
#include "test_support/process.h"

namespace line_display::testing {
namespace {

std::string RunTester(const DisplayRig& rig, const std::string& script, int& status) {
  const test_support::CommandRun run = test_support::RunCommand(
      std::string(OPOSTEST_PATH) + " --registry " + rig.RegistryPath() + " " + script);
  status = run.exit_code;
  return run.output;
}

class DisplayOpostestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualDisplay("ttyD0");
    rig_.AddDeviceEntry("OrvelXV", device_->attachment.LinkPath(), "XV-310K", "", "Display");
  }
  DisplayRig rig_;
  VirtualDisplayOnPty* device_ = nullptr;
};

TEST_F(DisplayOpostestTest, ExampleScriptShowsTextInTwoWindows) {
  int status = -1;
  const std::string out = RunTester(rig_, std::string(EXAMPLES_DIR) + "/display_text.txt", status);
  EXPECT_EQ(out,
            "d Open -> 0 rc=0 ext=0\n"
            "d DeviceName = \"Display.LineDisplay.SO2\"\n"
            "d ClaimDevice -> 0 rc=0 ext=0\n"
            "d DeviceEnabled := 1 rc=0\n"
            "d DisplayText -> 0 rc=0 ext=0\n"
            "d CreateWindow -> 0 rc=0 ext=0\n"
            "d CurrentWindow = 1\n"
            "d DisplayText -> 0 rc=0 ext=0\n"
            "d ReadCharacterAtCursor -> 0 rc=0 ext=0 pChar=127\n"
            "d CursorColumn := 0 rc=0\n"
            "d ReadCharacterAtCursor -> 0 rc=0 ext=0 pChar=84\n"
            "d CreateWindow -> 106 rc=106 ext=0\n"
            "d Close -> 0 rc=0 ext=0\n");
  EXPECT_EQ(status, 0);
  const auto screen = device_->display.Screen();
  EXPECT_EQ(screen[0], "Welcome!            ");
  EXPECT_EQ(screen[1], "TOTAL          20.60");
}

TEST_F(DisplayOpostestTest, InteractiveHealthCheckShowsItsResultOnTheDisplay) {
  const std::string script = rig_.Dir() + "/health.txt";
  std::ofstream(script) << "open d LineDisplay Display\n"
                           "d ClaimDevice 1000\n"
                           "d set DeviceEnabled 1\n"
                           "ui press Start\n"
                           "d CheckHealth 3\n"
                           "d get CheckHealthText\n"
                           "d Close\n";
  int status = -1;
  const std::string out = RunTester(rig_, script, status);
  EXPECT_EQ(out,
            "d Open -> 0 rc=0 ext=0\n"
            "d ClaimDevice -> 0 rc=0 ext=0\n"
            "d DeviceEnabled := 1 rc=0\n"
            "dialog \"CheckHealth\" \"Please Push the [Start] button to start the CheckHealth "
            "Method.\" -> Start\n"
            "d CheckHealth -> 0 rc=0 ext=0\n"
            "d CheckHealthText = \"Not Executed\"\n"
            "d Close -> 0 rc=0 ext=0\n");
  EXPECT_EQ(device_->display.Screen()[0], "CheckHealth Ok!     ");
}

}  // namespace
}  // namespace line_display::testing
