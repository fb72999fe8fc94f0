// Open, claim, properties, event freezing, release, CheckHealth and DirectIO of the drawer.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "drawer_rig.h"
#include "platform/event.h"
#include "platform/message_queue.h"

namespace service_core::testing {
namespace {

using opos::control::CashDrawer;
using opos::control::ObjectRef;

class DrawerFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = &rig_.AddVirtualPrinter("ttyP0"); }
  DrawerEntry At(DrawerEntry entry) {
    entry.port = device_->attachment.LinkPath();
    return entry;
  }
  ObjectRef<CashDrawer> Drawer(DrawerEntry entry = Entry("Drawer")) {
    AddDrawerEntry(At(entry));
    return OpenDrawerObject(entry.key);
  }
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
};

TEST_F(DrawerFrameTest, OpenServiceRefusesIncompleteEntriesAndTakesDefaults) {
  for (const char* value : {"Baudrate", "XonXoff", "Port", "DeviceName"}) {
    DrawerEntry entry = At(Entry(std::string("No") + value));
    entry.omit = value;
    AddDrawerEntry(entry);
    auto drawer = CashDrawer::Create();
    EXPECT_EQ(drawer->Open(entry.key), opos::kNoService) << value;
    EXPECT_FALSE(drawer->IsOpen());
  }
  // A printer's device name would make the link act as a printer's.
  DrawerEntry printer_name = At(Entry("PrinterName"));
  printer_name.device_name = "Thermal42";
  AddDrawerEntry(printer_name);
  EXPECT_EQ(CashDrawer::Create()->Open("PrinterName"), opos::kNoService);

  // Without ConnectorPinNo and OpenLevel: pin 0 (no kick) and level 1.
  auto drawer = Drawer(Entry("Defaults", -1, -1));
  EXPECT_EQ(drawer->State(), opos::kStateIdle);
  EXPECT_EQ(drawer->GetPropertyString(1000001), "");
  ASSERT_EQ(drawer->ClaimDevice(0), opos::kSuccess);
  EXPECT_EQ(drawer->GetPropertyString(1000001), "Not Executed");
  const size_t before = device_->printer.Capture().size();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kSuccess);
  EXPECT_FALSE(Received(*device_, kKickPin2, before) || Received(*device_, kKickPin5, before));
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
  EXPECT_EQ(drawer->State(), opos::kStateClosed);
}

TEST_F(DrawerFrameTest, PropertiesAndTheirSetters) {
  auto drawer = Drawer();
  EXPECT_EQ(drawer->GetPropertyString(1000002), "OPOS Cash Drawer");
  EXPECT_EQ(drawer->GetPropertyString(1000003), "Tandor.CashDrawer.SO");
  EXPECT_EQ(drawer->GetPropertyString(1000004), "OPOS Cash Drawer Service Object");
  EXPECT_EQ(drawer->GetPropertyNumber(8), 1003001);
  EXPECT_EQ(drawer->GetPropertyNumber(1501), 1);   // CapStatus
  EXPECT_EQ(drawer->GetPropertyNumber(501), 0);    // CapPowerReporting
  EXPECT_EQ(drawer->GetPropertyNumber(14), 2000);  // PowerState
  EXPECT_EQ(drawer->GetPropertyNumber(8001), 0);   // not a drawer property

  drawer->SetDeviceEnabled(true);
  EXPECT_EQ(drawer->ResultCode(), opos::kNotClaimed);
  EXPECT_FALSE(drawer->DeviceEnabled());
  drawer->SetPropertyNumber(13, 1);
  EXPECT_EQ(drawer->ResultCode(), opos::kIllegal);
  EXPECT_EQ(drawer->GetPropertyNumber(13), 0);
  drawer->SetPropertyNumber(13, 2);
  EXPECT_EQ(drawer->ResultCode(), opos::kSuccess);
  EXPECT_EQ(drawer->GetPropertyNumber(13), 2);
  drawer->SetPropertyNumber(11, 7);
  EXPECT_EQ(drawer->GetPropertyNumber(11), 7);
  drawer->SetPropertyString(1000003, "other");
  EXPECT_EQ(drawer->GetPropertyString(1000003), "Tandor.CashDrawer.SO");

  EXPECT_EQ(drawer->OpenDrawer(), opos::kNotClaimed);
  EXPECT_EQ(drawer->WaitForDrawerClose(0, 800, 50, 50), opos::kNotClaimed);
  EXPECT_EQ(drawer->ReleaseDevice(), opos::kIllegal);
  EXPECT_EQ(drawer->ClaimDevice(-1), opos::kIllegal);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  // A claim of a claimed drawer succeeds and leaves ResultCode alone.
  drawer->SetPropertyNumber(13, 1);
  EXPECT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(drawer->ResultCode(), opos::kIllegal);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

TEST_F(DrawerFrameTest, ClaimFailsOnASilentPrinterAndAMissingPort) {
  auto drawer = Drawer();
  device_->Set("answers off");
  EXPECT_EQ(drawer->ClaimDevice(1000), opos::kIllegal);
  EXPECT_FALSE(drawer->Claimed());
  device_->Set("answers on");
  EXPECT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);

  DrawerEntry nowhere = Entry("Nowhere");
  nowhere.port = rig_.Dir() + "/ttyNone";
  AddDrawerEntry(nowhere);
  auto lost = OpenDrawerObject("Nowhere");
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(lost->ClaimDevice(0), opos::kTimeout);
  EXPECT_GE(platform::TickCountMs() - start, 1000u);
}

TEST_F(DrawerFrameTest, FrozenEventsWaitAndArriveInOrder) {
  auto drawer = Drawer();
  StatusLog log(*drawer);
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(log.WaitFor(1));

  auto flip = [&](const char* command, bool open) {
    device_->Set(command);
    ASSERT_TRUE(PumpUntil([&] { return drawer->DrawerOpened() == open; }));
    platform::PumpMessages(300);  // the status-change thread has queued its event
  };
  drawer->SetFreezeEvents(true);
  EXPECT_EQ(drawer->ResultCode(), opos::kSuccess);
  flip("drawer open", true);
  flip("drawer close", false);
  flip("drawer open", true);
  platform::PumpMessages(500);
  EXPECT_EQ(log.updates.size(), 1u);
  drawer->SetFreezeEvents(false);
  ASSERT_TRUE(log.WaitFor(4));
  EXPECT_EQ(log.updates, (std::vector<int32_t>{0, 1, 0, 1}));

  // The container's freeze reaches the service object as COFreezeEvents.
  drawer->FreezeContainerEvents(true);
  flip("drawer close", false);
  platform::PumpMessages(500);
  EXPECT_EQ(log.updates.size(), 4u);
  drawer->FreezeContainerEvents(false);
  ASSERT_TRUE(log.WaitFor(5));
  EXPECT_EQ(log.updates.back(), 0);

  // Held back at release: never delivered.
  drawer->SetFreezeEvents(true);
  flip("drawer open", true);
  EXPECT_EQ(drawer->ReleaseDevice(), opos::kSuccess);
  drawer->SetFreezeEvents(false);
  platform::PumpMessages(1200);
  EXPECT_EQ(log.updates.size(), 5u);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

TEST_F(DrawerFrameTest, CheckHealthOpensTheDrawerFromItsDialogAndDirectIOKnowsOneCommand) {
  ScriptedUi ui;
  auto drawer = Drawer();
  ASSERT_EQ(drawer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(drawer->CheckHealth(1), opos::kDisabled);
  drawer->SetDeviceEnabled(true);
  EXPECT_EQ(drawer->CheckHealth(1), opos::kSuccess);
  EXPECT_EQ(drawer->CheckHealth(2), opos::kSuccess);
  EXPECT_EQ(drawer->CheckHealth(4), opos::kIllegal);
  EXPECT_FALSE(device_->printer.Status().drawer_open);

  ui->Press(platform::ui::kDialogStart);
  const size_t before = device_->printer.Capture().size();
  EXPECT_EQ(drawer->CheckHealth(3), opos::kSuccess);
  EXPECT_TRUE(Received(*device_, kKickPin2, before));
  ASSERT_FALSE(ui->Calls().empty());
  EXPECT_EQ(ui->Calls()[0].caption, "CheckHealth");
  EXPECT_EQ(drawer->GetPropertyString(1000001), "Not Executed");

  int32_t data = 5;
  std::string text = "x";
  EXPECT_EQ(drawer->DirectIO(1, data, text), opos::kSuccess);
  EXPECT_EQ(drawer->DirectIO(2, data, text), opos::kIllegal);
  EXPECT_EQ(data, 5);
  EXPECT_EQ(drawer->Close(), opos::kSuccess);
}

}  // namespace
}  // namespace service_core::testing
