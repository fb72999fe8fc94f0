// The printer and the drawer service objects in one process on one port: one handle, the
// drawer keeps out of the printer's way and reads the level the printer's monitor keeps,
// and the handle passes between them as they release and claim.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "control_objects/opos_codes.h"
#include "drawer_rig.h"
#include "platform/event.h"
#include "platform/message_queue.h"

namespace service_core::testing {
namespace {

using opos::control::CashDrawer;
using opos::control::ObjectRef;
using opos::control::POSPrinter;

class DrawerSharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("Printer", device_->attachment.LinkPath());
  }
  ObjectRef<CashDrawer> Drawer(DrawerEntry entry = Entry("Drawer")) {
    entry.port = device_->attachment.LinkPath();
    AddDrawerEntry(entry);
    return OpenDrawerObject(entry.key);
  }
  ObjectRef<POSPrinter> ClaimedPrinter() {
    auto printer = OpenPrinter("Printer");
    EXPECT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
    printer->SetDeviceEnabled(true);
    return printer;
  }
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
};

class SharedLevelTest : public DrawerSharingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SharedLevelTest, TheDrawerReadsThePrintersLevelAndNeverQueriesItself) {
  const bool high_open = GetParam();
  if (high_open) device_->Set("pin3 high-open");
  auto printer = ClaimedPrinter();
  auto drawer = Drawer(Entry("Drawer", 2, high_open ? 0 : 1));
  StatusLog log(*drawer);
  // The printer holds the device exclusively: the drawer claims through its handle.
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  const size_t from = device_->printer.Capture().size();
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  EXPECT_EQ(log.updates[0], 0);

  device_->Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.updates[1], 1);
  // Steady between the printer's status messages.
  for (int i = 0; i < 6; ++i) {
    platform::PumpMessages(250);
    EXPECT_TRUE(drawer->DrawerOpened());
  }
  device_->Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);

  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_TRUE(Received(*device_, kKickPin2, from));
  ASSERT_TRUE(log.WaitFor(4));
  EXPECT_EQ(log.updates[3], 1);
  EXPECT_EQ(Occurrences(*device_, kStatusQuery, from), 0u);
  platform::PumpMessages(600);
  EXPECT_EQ(log.updates.size(), 4u);

  EXPECT_EQ(printer->PrintNormal(2, "still printing\n"), opos::kSuccess);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

INSTANTIATE_TEST_SUITE_P(BothPolarities, SharedLevelTest, ::testing::Bool());

TEST_F(DrawerSharingTest, TheKickWaitsForPrintingToBeIdleForASecond) {
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);

  std::atomic<uint64_t> kicked_at{0};
  std::atomic<bool> watching{true};
  const size_t from = device_->printer.Capture().size();
  std::thread watcher([&] {
    while (watching && !Received(*device_, kKickPin2, from)) platform::SleepMs(5);
    kicked_at = platform::TickCountMs();
  });
  ASSERT_EQ(printer->PrintNormal(2, "Receipt line\n"), opos::kSuccess);
  const uint64_t printed_at = platform::TickCountMs();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  watching = false;
  watcher.join();
  ASSERT_TRUE(Received(*device_, kKickPin2, from));
  EXPECT_GE(kicked_at - printed_at, 950u);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

TEST_F(DrawerSharingTest, APrinterBusyPastFiveSecondsFailsTheKick) {
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  // Another thread of the till keeps printing a line every 300 ms for eight seconds.
  std::atomic<bool> printing{true};
  std::thread till([&] {
    const uint64_t end = platform::TickCountMs() + 8000;
    while (printing && platform::TickCountMs() < end) {
      printer->PrintNormal(2, "line\n");
      platform::SleepMs(300);
    }
  });
  platform::SleepMs(200);
  const size_t from = device_->printer.Capture().size();
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
  const uint64_t took = platform::TickCountMs() - start;
  printing = false;
  till.join();
  EXPECT_GE(took, 4900u);
  EXPECT_FALSE(Received(*device_, kKickPin2, from));
  EXPECT_FALSE(drawer->DrawerOpened());
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

TEST_F(DrawerSharingTest, TheDrawerKeepsThePortWhenThePrinterLeavesAndThePrinterJoinsAgain) {
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));

  EXPECT_EQ(printer->ReleaseDevice(), opos::kSuccess);
  // The drawer now asks the printer itself, through the handle it took over. The printer
  // keeps sending its status blocks; the drawer reads past them.
  const size_t from = device_->printer.Capture().size();
  device_->Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  EXPECT_EQ(log.updates[1], 1);
  device_->Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);
  EXPECT_GT(Occurrences(*device_, kStatusQuery, from), 0u);
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_TRUE(Received(*device_, kKickPin2, from));
  ASSERT_TRUE(log.WaitFor(4));
  device_->Set("drawer close");
  ASSERT_TRUE(log.WaitFor(5));

  // The printer claims again and joins the drawer's handle.
  ASSERT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  printer->SetDeviceEnabled(true);
  EXPECT_EQ(printer->PrintNormal(2, "back again\n"), opos::kSuccess);
  device_->Set("drawer open");
  ASSERT_TRUE(log.WaitFor(6));
  EXPECT_EQ(log.updates, (std::vector<int32_t>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(printer->Close(), opos::kSuccess);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

// The printer service object is claimed but not enabled, so nothing asks its status; its
// monitor still knows the cover is open. A kick now would wait in the printer's buffer.
TEST_F(DrawerSharingTest, NoKickIntoAnOfflinePrinterClaimedButNotEnabled) {
  auto printer = OpenPrinter("Printer");
  ASSERT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  auto drawer = Drawer();
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  for (const char* trouble : {"cover open", "paper out"}) {
    SCOPED_TRACE(trouble);
    device_->Set(trouble);
    platform::PumpMessages(1200);  // the monitor's next rounds
    const size_t from = device_->printer.Capture().size();
    EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
    EXPECT_EQ(drawer->WaitForDrawerClose(100, 800, 10, 10), opos::kIllegal);
    EXPECT_FALSE(Received(*device_, kKickPin2, from));
    device_->Set(std::string(trouble) == "cover open" ? "cover close" : "paper in");
    platform::PumpMessages(1200);
    // A kick held in the buffer would have opened the drawer now.
    EXPECT_FALSE(device_->printer.Status().drawer_open);
    device_->Set("drawer close");
    platform::PumpMessages(700);
  }
  // Back online, with the printer still disabled: the kick goes out.
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_TRUE(device_->printer.Status().drawer_open);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

// The status blocks of an open cover carry the drawer's level too.
TEST_F(DrawerSharingTest, ADrawerClosedUnderAnOpenCoverIsReportedClosed) {
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  device_->Set("drawer open");
  ASSERT_TRUE(log.WaitFor(2));
  device_->Set("cover open");
  platform::PumpMessages(700);
  device_->Set("drawer close");
  ASSERT_TRUE(log.WaitFor(3));
  EXPECT_EQ(log.updates[2], 0);
  EXPECT_FALSE(drawer->DrawerOpened());
  device_->Set("cover close");
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

TEST_F(DrawerSharingTest, WaitForDrawerCloseOnADisabledDrawerEndsWithTheClose) {
  ScriptedUi ui;
  ui->beep_takes_duration = false;
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  drawer->SetDeviceEnabled(false);
  ASSERT_EQ(drawer->OpenDrawer(), opos::kSuccess);

  const HandClosedWait wait = WaitForDrawerClosedByHand(*drawer, *device_);
  EXPECT_EQ(wait.result, opos::kSuccess);
  EXPECT_LT(wait.took_ms, 5000u);
  const size_t beeps = ui.Beeps();
  platform::SleepMs(600);
  EXPECT_EQ(ui.Beeps(), beeps);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

TEST_F(DrawerSharingTest, ASecondDrawerCannotClaimAPortHeldByADrawer) {
  auto first = Drawer(Entry("First"));
  auto second = Drawer(Entry("Second"));
  ASSERT_EQ(first->ClaimDevice(1000), opos::kSuccess);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(second->ClaimDevice(1000), opos::kTimeout);
  EXPECT_GE(platform::TickCountMs() - start, 1000u);
  // With the printer beside it too.
  auto printer = ClaimedPrinter();
  EXPECT_EQ(second->ClaimDevice(1000), opos::kTimeout);
  EXPECT_EQ(first->ReleaseDevice(), opos::kSuccess);
  EXPECT_EQ(second->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(second->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
  EXPECT_EQ(first->Close(), opos::kSuccess);
}

TEST_F(DrawerSharingTest, ReleaseDoesNotHangWhileThePrinterIsGone) {
  auto printer = ClaimedPrinter();
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));
  device_->Set("disconnect");
  EXPECT_EQ(printer->ReleaseDevice(), opos::kSuccess);
  platform::PumpMessages(1200);  // the drawer's own queries go unanswered
  EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(drawer->ReleaseDevice(), opos::kSuccess);
  EXPECT_LT(platform::TickCountMs() - start, 3000u);
  EXPECT_EQ(log.updates.size(), 1u);
  device_->Set("connect");
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

}  // namespace
}  // namespace service_core::testing
