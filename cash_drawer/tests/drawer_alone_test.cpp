// The drawer on a link of its own to the virtual printer: kick bytes, sensing with both
// pin-3 polarities, events, and what happens when the printer is offline or silent.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "drawer_rig.h"
#include "platform/event.h"
#include "platform/message_queue.h"

#include <atomic>
#include <thread>

namespace service_core::testing {
namespace {

using opos::control::CashDrawer;
using opos::control::ObjectRef;

class DrawerAloneTest : public ::testing::Test {
 protected:
  VirtualPrinterOnPty& Printer(vdev::PrinterConfig config = {}) {
    if (!device_) device_ = &rig_.AddVirtualPrinter("ttyP0", config);
    return *device_;
  }
  ObjectRef<CashDrawer> Drawer(DrawerEntry entry = {}) {
    entry.port = Printer().attachment.LinkPath();
    AddDrawerEntry(entry);
    return OpenDrawerObject(entry.key);
  }
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
};

TEST_F(DrawerAloneTest, KicksPin2OrPin5AndNothingForOtherPins) {
  struct Case {
    int pin;
    const std::vector<uint8_t>* kick;
  };
  for (const Case c : {Case{2, &kKickPin2}, Case{5, &kKickPin5}, Case{0, nullptr}, Case{3, nullptr}}) {
    SCOPED_TRACE(c.pin);
    auto drawer = Drawer(Entry("Pin" + std::to_string(c.pin), c.pin));
    ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
    const size_t before = Printer().printer.Capture().size();
    const uint64_t start = platform::TickCountMs();
    EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
    EXPECT_GE(platform::TickCountMs() - start, 990u);
    EXPECT_EQ(drawer->ResultCode(), opos::kSuccess);
    if (c.kick) {
      EXPECT_TRUE(Received(Printer(), *c.kick, before));
      EXPECT_TRUE(Printer().printer.Status().drawer_open);
      Printer().Set("drawer close");
    } else {
      EXPECT_FALSE(Received(Printer(), kKickPin2, before) || Received(Printer(), kKickPin5, before));
      EXPECT_FALSE(Printer().printer.Status().drawer_open);
    }
    EXPECT_EQ(drawer->Close(), opos::kSuccess);
  }
}

// OpenLevel against the printer's pin-3 polarity: 1 (default) with a drawer pulling pin 3
// low when open, 0 with one pulling it high.
class DrawerPolarityTest : public DrawerAloneTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DrawerPolarityTest, StatusUpdatesFollowTheDrawer) {
  const bool high_open = GetParam();
  vdev::PrinterConfig config;
  Printer(config);
  if (high_open) Printer().Set("pin3 high-open");
  auto drawer = Drawer(Entry("Drawer", 2, high_open ? 0 : 1));
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  EXPECT_EQ(log.updates[0], 0);
  EXPECT_FALSE(drawer->DrawerOpened());

  Printer().Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.updates[1], 1);
  EXPECT_TRUE(drawer->DrawerOpened());
  Printer().Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);
  EXPECT_FALSE(drawer->DrawerOpened());
  // A steady drawer raises nothing more.
  platform::PumpMessages(1500);
  EXPECT_EQ(log.updates.size(), 3u);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

INSTANTIATE_TEST_SUITE_P(BothPolarities, DrawerPolarityTest, ::testing::Bool());

TEST_F(DrawerAloneTest, AnOfflinePrinterStillReportsTheDrawerAndRefusesTheKick) {
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));

  // The printer answers 1A / 1E with its cover open: pin 3 is still read from it.
  Printer().Set("cover open");
  Printer().Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.updates[1], 1);
  Printer().Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);

  // A kick into an offline printer would wait in its buffer and open the drawer later.
  const size_t before = Printer().printer.Capture().size();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
  EXPECT_FALSE(Received(Printer(), kKickPin2, before));
  Printer().Set("cover close");
  platform::PumpMessages(1500);
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_TRUE(Printer().printer.Status().drawer_open);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

TEST_F(DrawerAloneTest, ASilentPrinterFailsTheKickAndLeavesTheState) {
  for (int pin : {2, 5}) {
    SCOPED_TRACE(pin);
    auto drawer = Drawer(Entry("Pin" + std::to_string(pin), pin));
    StatusLog log(*drawer);
    ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
    drawer->SetDeviceEnabled(true);
    ASSERT_TRUE(log.WaitFor(1));
    Printer().Set("answers off");
    const size_t before = Printer().printer.Capture().size();
    EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
    EXPECT_EQ(drawer->ResultCode(), opos::kIllegal);
    EXPECT_FALSE(Received(Printer(), kKickPin2, before) || Received(Printer(), kKickPin5, before));
    EXPECT_FALSE(drawer->DrawerOpened());
    // The drawer state is as it was: a wait for it to close returns at once.
    const uint64_t start = platform::TickCountMs();
    EXPECT_EQ(drawer->WaitForDrawerClose(100, 800, 50, 50), opos::kIllegal);
    EXPECT_LT(platform::TickCountMs() - start, 3000u);
    Printer().Set("answers on");
    EXPECT_EQ(drawer->Close(), opos::kSuccess);
    EXPECT_EQ(log.updates.size(), 1u);
  }
}

TEST_F(DrawerAloneTest, WaitForDrawerCloseBeepsOnlyPastItsTimeout) {
  ScriptedUi ui;
  ui->beep_takes_duration = false;
  auto drawer = Drawer();
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);

  // Closed: back after about 1.2 s, silent.
  uint64_t start = platform::TickCountMs();
  EXPECT_EQ(drawer->WaitForDrawerClose(500, 800, 50, 50), opos::kSuccess);
  EXPECT_GE(platform::TickCountMs() - start, 1150u);
  EXPECT_EQ(ui.Beeps(), 0u);

  // Closed by a person before the time-out: silent.
  ASSERT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  std::thread person([&] {
    platform::SleepMs(2500);
    Printer().Set("drawer close");
  });
  EXPECT_EQ(drawer->WaitForDrawerClose(10000, 800, 50, 50), opos::kSuccess);
  person.join();
  EXPECT_EQ(ui.Beeps(), 0u);
  EXPECT_FALSE(Printer().printer.Status().drawer_open);

  // Closed late: beeps with the given tone every duration + delay until then.
  ASSERT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  std::thread late([&] {
    platform::SleepMs(3500);
    Printer().Set("drawer close");
  });
  start = platform::TickCountMs();
  EXPECT_EQ(drawer->WaitForDrawerClose(300, 880, 120, 180), opos::kSuccess);
  late.join();
  EXPECT_GE(platform::TickCountMs() - start, 3000u);
  const size_t beeps = ui.Beeps();
  EXPECT_GE(beeps, 3u);
  for (const auto& call : ui->Calls()) {
    EXPECT_EQ(call.flags, 880u);
    EXPECT_EQ(call.duration_ms, 120u);
  }
  // The beeping stopped with the close.
  platform::SleepMs(800);
  EXPECT_EQ(ui.Beeps(), beeps);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

// Enabled once (status update 0 reported), then disabled: the close of the drawer the
// wait is for brings it back to the state last reported, and must still end the wait.
TEST_F(DrawerAloneTest, WaitForDrawerCloseOnADisabledDrawerEndsWithTheClose) {
  ScriptedUi ui;
  ui->beep_takes_duration = false;
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  drawer->SetDeviceEnabled(false);
  ASSERT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  ASSERT_TRUE(Printer().printer.Status().drawer_open);

  const HandClosedWait wait = WaitForDrawerClosedByHand(*drawer, Printer());
  EXPECT_EQ(wait.result, opos::kSuccess);
  EXPECT_LT(wait.took_ms, 5000u);
  EXPECT_GE(ui.Beeps(), 1u);
  // The beeping ended with the wait.
  const size_t beeps = ui.Beeps();
  platform::SleepMs(600);
  EXPECT_EQ(ui.Beeps(), beeps);
  EXPECT_EQ(log.updates.size(), 1u);  // nothing reported while disabled
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

// The printer goes away (stopped, as when it is switched off or its program ends) and
// comes back on the same path: the drawer alone on the port works again without a new claim.
TEST_F(DrawerAloneTest, ThePrinterComingBackOnTheSamePathBringsTheDrawerBack) {
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));

  Printer().attachment.Stop();
  platform::PumpMessages(1500);
  EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
  platform::PumpMessages(2000);
  std::string error;
  ASSERT_TRUE(Printer().attachment.Start(error)) << error;

  const size_t before = Printer().printer.Capture().size();
  EXPECT_TRUE(PumpUntil([&] { return drawer->OpenDrawer() == opos::kSuccess; }, 8000));
  EXPECT_TRUE(Received(Printer(), kKickPin2, before));
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.updates[1], 1);
  Printer().Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

TEST_F(DrawerAloneTest, OpeningAnOpenDrawerBeepsOnceAndSendsNothing) {
  ScriptedUi ui;
  ui->beep_takes_duration = false;
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  Printer().Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  const size_t before = Printer().printer.Capture().size();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_FALSE(Received(Printer(), kKickPin2, before));
  ASSERT_EQ(ui.Beeps(), 1u);
  EXPECT_EQ(ui->Calls()[0].flags, 1000u);
  EXPECT_EQ(ui->Calls()[0].duration_ms, 50u);
  platform::PumpMessages(700);
  EXPECT_EQ(log.updates, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

}  // namespace
}  // namespace service_core::testing
