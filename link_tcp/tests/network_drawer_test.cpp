// The network build's drawer beside the printer on the one connection of the process, and
// alone against an address where nothing answers.
#include <gtest/gtest.h>

#include "control_objects/cash_drawer.h"
#include "control_objects/opos_codes.h"
#include "network_rig.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/ui_scripted.h"
#include "printer_fixture.h"
#include "virtual_devices/tcp_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core::testing {
namespace {

using opos::control::CashDrawer;

constexpr char kDrawerValues[] =
    "\"ConnectorPinNo\"=dword:00000002\n\"OpenLevel\"=dword:00000001\n";

opos::control::ObjectRef<CashDrawer> OpenDrawer(const std::string& name) {
  auto drawer = CashDrawer::Create();
  EXPECT_EQ(drawer->Open(name), 0);
  return drawer;
}

TEST(NetworkDrawer, SharesThePrintersConnectionAndItsReleaseKeepsIt) {
  NetworkRig rig;
  NetworkPrinter& device = rig.AddVirtualPrinter();
  const std::string port = NetworkRig::PortText(device.attachment.Port());
  NetworkRig::AddEntry("POSPrinter", "Net1", "127.0.0.1", port, "Thermal42");
  NetworkRig::AddEntry("CashDrawer", "Till1", "127.0.0.1", port, "StandardN", kDrawerValues);

  auto printer = OpenPrinter("Net1");
  auto drawer = OpenDrawer("Till1");
  std::vector<int32_t> drawer_events;
  drawer->on_status_update = [&](int32_t s) { drawer_events.push_back(s); };
  ASSERT_EQ(printer->ClaimDevice(0), 0);
  printer->SetDeviceEnabled(true);
  // The virtual printer serves one host at a time: a drawer with a connection of its own
  // would wait in the listen queue and never be answered.
  ASSERT_EQ(drawer->ClaimDevice(0), 0);
  EXPECT_EQ(drawer->GetPropertyString(1000003), "Standard.CashDrawer.SON");
  EXPECT_EQ(drawer->GetPropertyNumber(8), 1003000);
  EXPECT_EQ(drawer->GetPropertyNumber(1501), 1);
  drawer->SetDeviceEnabled(true);

  const size_t mark = device.ReceivedCount();
  EXPECT_EQ(drawer->OpenDrawer(), 0);
  EXPECT_NE(device.ReceivedSince(mark).find("\x1B\x70\x30\x64\xC8"), std::string::npos);
  EXPECT_TRUE(device.printer.Status().drawer_open);
  EXPECT_TRUE(PumpUntil([&] { return drawer->DrawerOpened(); }, 8000));
  device.Set("drawer close");
  EXPECT_TRUE(PumpUntil([&] { return !drawer->DrawerOpened(); }, 8000));
  EXPECT_TRUE(PumpUntil([&] { return drawer_events.size() >= 2 && drawer_events.back() == 0; }));

  EXPECT_EQ(drawer->ReleaseDevice(), 0);
  const size_t after_release = device.ReceivedCount();
  EXPECT_EQ(printer->PrintNormal(2, "Still connected\n"), 0);
  EXPECT_TRUE(PumpUntil([&] {
    return device.ReceivedSince(after_release).find("Still connected\n") != std::string::npos;
  }));
  EXPECT_TRUE(device.attachment.HostConnected());
  EXPECT_EQ(drawer->Close(), 0);
  EXPECT_EQ(printer->Close(), 0);
}

TEST(NetworkDrawer, AnAddressWhereNothingAnswersTimesOutWithoutAMessageBox) {
  NetworkRig rig;
  NetworkPrinter& device = rig.AddVirtualPrinter();
  const std::string port = NetworkRig::PortText(device.attachment.Port());
  device.Set("refuse on");
  NetworkRig::AddEntry("CashDrawer", "Till1", "127.0.0.1", port, "StandardN", kDrawerValues);
  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  platform::ui::Install(ui);
  auto drawer = OpenDrawer("Till1");
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(drawer->ClaimDevice(500), opos::kTimeout);
  EXPECT_GE(platform::TickCountMs() - start, 3000u);  // raised to the network minimum
  EXPECT_TRUE(ui->Calls().empty());
  platform::ui::Install(nullptr);

  // The drawer alone on a printer that answers no status query: it claims, cannot sense.
  device.Set("refuse off");
  device.Set("answers off");
  ASSERT_EQ(drawer->ClaimDevice(0), 0);
  EXPECT_EQ(drawer->GetPropertyNumber(1501), 0);
  EXPECT_EQ(drawer->WaitForDrawerClose(100, 1000, 10, 10), opos::kIllegal);
  EXPECT_EQ(drawer->Close(), 0);
}

// The drawer alone on the connection (no printer object in the process).
class NetworkDrawerAlone : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ui::Install(ui_);
    device_ = &rig_.AddVirtualPrinter();
    port_ = device_->attachment.Port();
    NetworkRig::AddEntry("CashDrawer", "Till1", "127.0.0.1", NetworkRig::PortText(port_),
                         "StandardN", kDrawerValues);
    drawer_ = OpenDrawer("Till1");
    drawer_->on_status_update = [this](int32_t s) { events_.push_back(s); };
    ASSERT_EQ(drawer_->ClaimDevice(0), 0);
    drawer_->SetDeviceEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return events_.size() == 1; }));
  }
  void TearDown() override {
    drawer_->Close();
    platform::ui::Install(nullptr);
  }
  bool KickSince(NetworkPrinter& device, size_t mark) {
    return device.ReceivedSince(mark).find("\x1B\x70\x30\x64\xC8") != std::string::npos;
  }

  std::shared_ptr<platform::ui::ScriptedProvider> ui_ =
      std::make_shared<platform::ui::ScriptedProvider>();
  NetworkRig rig_;
  NetworkPrinter* device_ = nullptr;
  int port_ = 0;
  opos::control::ObjectRef<CashDrawer> drawer_;
  std::vector<int32_t> events_;
};

// Cover open or paper out: the printer answers the drawer query offline (1A / 1E). The kick
// would wait in its buffer, and the drawer's level is still read from the answer.
TEST_F(NetworkDrawerAlone, AnOfflinePrinterRefusesTheKickAndStillTellsTheDrawer) {
  for (const char* trouble : {"cover open", "paper out"}) {
    SCOPED_TRACE(trouble);
    device_->Set(trouble);
    platform::PumpMessages(1200);
    const size_t mark = device_->ReceivedCount();
    EXPECT_EQ(drawer_->OpenDrawer(), opos::kIllegal);
    EXPECT_FALSE(KickSince(*device_, mark));
    EXPECT_EQ(device_->printer.Status().buffered_bytes, 0u);
    EXPECT_EQ(drawer_->WaitForDrawerClose(100, 800, 10, 10), opos::kIllegal);

    device_->Set("drawer open");
    EXPECT_TRUE(PumpUntil([&] { return drawer_->DrawerOpened(); }, 4000));
    EXPECT_TRUE(PumpUntil([&] { return events_.back() == 1; }, 4000));
    // Every reading while offline is the drawer's true level.
    for (int i = 0; i < 6; ++i) {
      platform::PumpMessages(300);
      EXPECT_TRUE(drawer_->DrawerOpened());
    }
    device_->Set("drawer close");
    EXPECT_TRUE(PumpUntil([&] { return !drawer_->DrawerOpened(); }, 4000));
    device_->Set(std::string(trouble) == "cover open" ? "cover close" : "paper in");
  }
  EXPECT_FALSE(device_->printer.Status().drawer_open);
  EXPECT_TRUE(PumpUntil([&] { return drawer_->OpenDrawer() == 0; }, 4000));
  EXPECT_TRUE(device_->printer.Status().drawer_open);
}

// The printer's program ends and starts again five seconds later on the same port.
TEST_F(NetworkDrawerAlone, ThePrinterComingBackOnTheSamePortBringsTheDrawerBack) {
  device_->attachment.Stop();
  platform::PumpMessages(1500);
  EXPECT_EQ(drawer_->OpenDrawer(), opos::kIllegal);
  platform::PumpMessages(3500);

  vdev::PrinterConfig config;
  config.link = vdev::PrinterLink::Network;
  vdev::VirtualPrinter restarted_printer(config);
  vdev::TcpAttachment restarted(restarted_printer, {"127.0.0.1", port_});
  std::string error;
  ASSERT_TRUE(restarted.Start(error)) << error;
  EXPECT_TRUE(PumpUntil([&] { return drawer_->OpenDrawer() == 0; }, 8000));
  EXPECT_TRUE(restarted_printer.Status().drawer_open);
  EXPECT_TRUE(PumpUntil([&] { return events_.back() == 1; }, 4000));
  std::string reply;
  EXPECT_TRUE(restarted.Command("drawer close", reply)) << reply;
  EXPECT_TRUE(PumpUntil([&] { return events_.back() == 0; }, 4000));
  drawer_->Close();
  restarted.Stop();
}

// A thermal printer that answers nothing: the printer service object claims it, and the
// drawer beside it cannot sense the drawer any more than alone.
TEST(NetworkDrawer, BesideASilentPrinterTheDrawerHasNoStatusCapability) {
  NetworkRig rig;
  NetworkPrinter& device = rig.AddVirtualPrinter();
  const std::string port = NetworkRig::PortText(device.attachment.Port());
  NetworkRig::AddEntry("POSPrinter", "Net1", "127.0.0.1", port, "Thermal42");
  NetworkRig::AddEntry("CashDrawer", "Till1", "127.0.0.1", port, "StandardN", kDrawerValues);
  device.Set("answers off");
  auto printer = OpenPrinter("Net1");
  auto drawer = OpenDrawer("Till1");
  ASSERT_EQ(printer->ClaimDevice(0), 0);
  ASSERT_EQ(drawer->ClaimDevice(0), 0);
  EXPECT_EQ(drawer->GetPropertyNumber(1501), 0);
  EXPECT_EQ(drawer->WaitForDrawerClose(100, 1000, 10, 10), opos::kIllegal);
  EXPECT_EQ(drawer->Close(), 0);
  EXPECT_EQ(printer->Close(), 0);
}

}  // namespace
}  // namespace service_core::testing
