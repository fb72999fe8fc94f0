// The device tester drives the drawer against the virtual printer: a kick, the status
// updates, and a wait that beeps until a person closes the drawer.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "drawer_rig.h"
#include "platform/event.h"
#include "test_support/process.h"

namespace service_core::testing {
namespace {

TEST(DrawerOpostestTest, KickEventsAndBeepsUntilTheDrawerIsClosed) {
  PrinterRig rig;
  auto& device = rig.AddVirtualPrinter("ttyP0");
  DrawerEntry entry = Entry("TandorDrawer");
  entry.port = device.attachment.LinkPath();
  AddDrawerEntry(entry);
  const std::string script = rig.Dir() + "/drawer.txt";
  std::ofstream(script) << "open d CashDrawer TandorDrawer\n"
                           "d ClaimDevice 1000\n"
                           "d set DeviceEnabled 1\n"
                           "d OpenDrawer\n"
                           "d WaitForDrawerClose 1000 880 100 400\n"
                           "pump 1000\n"
                           "d get DrawerOpened\n"
                           "d DirectIO 9 0 \"\"\n"
                           "d Close\n";
  std::thread person([&] {
    const uint64_t deadline = platform::TickCountMs() + 60000;
    while (!Received(device, kKickPin2) && platform::TickCountMs() < deadline)
      platform::SleepMs(20);
    platform::SleepMs(5000);
    device.Set("drawer close");
  });
  const test_support::CommandRun run = test_support::RunCommand(
      std::string(OPOSTEST_PATH) + " --registry " + rig.RegistryPath() + " " + script);
  const std::string& out = run.output;
  person.join();

  // Beeps come from the drawer's beep thread; the other lines keep their order.
  std::istringstream lines(out);
  std::string line, rest;
  int beeps = 0;
  while (std::getline(lines, line)) {
    if (line == "beep 880 100")
      ++beeps;
    else
      rest += line + "\n";
  }
  EXPECT_EQ(rest,
            "d Open -> 0 rc=0 ext=0\n"
            "d ClaimDevice -> 0 rc=0 ext=0\n"
            "event d StatusUpdate 0\n"
            "d DeviceEnabled := 1 rc=0\n"
            "d OpenDrawer -> 0 rc=0 ext=0\n"
            "event d StatusUpdate 1\n"
            "d WaitForDrawerClose -> 0 rc=0 ext=0\n"
            "event d StatusUpdate 0\n"
            "d DrawerOpened = 0\n"
            "d DirectIO -> 106 rc=106 ext=0 pData=0 pString=\"\"\n"
            "d Close -> 0 rc=0 ext=0\n");
  EXPECT_GE(beeps, 2);
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace service_core::testing
