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

}  // namespace
}  // namespace service_core::testing
