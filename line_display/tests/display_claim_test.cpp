// Open, claim, release and close of the line display against the virtual display on a
// pseudo-terminal: the bytes of a claim, the DSR line, configuration and properties.
#include <gtest/gtest.h>

#include "display_fixture.h"
#include "platform/event.h"
#include "platform/ui_scripted.h"

namespace line_display::testing {
namespace {

const std::string kClaimBytes("\x1B\x3D\x02\x1B\x40\x0B\x1B\x25\x01", 9);

class DisplayClaimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualDisplay("ttyD0");
    rig_.AddDeviceEntry("OrvelXV", device_->attachment.LinkPath(), "XV-310K", "", "Display");
  }
  DisplayRig rig_;
  VirtualDisplayOnPty* device_ = nullptr;
};

TEST_F(DisplayClaimTest, ClaimSelectsAndInitialisesTheDisplayAndReleaseSendsNothing) {
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Display"), 0);
  EXPECT_EQ(display->State(), 2);
  EXPECT_TRUE(device_->Received().empty()) << "OpenService sends nothing";
  EXPECT_EQ(display->GetPropertyString(1000001), "");
  ASSERT_EQ(display->ClaimDevice(0), 0);
  EXPECT_EQ(device_->Await(0, kClaimBytes.size()), kClaimBytes);
  EXPECT_TRUE(display->Claimed());
  EXPECT_FALSE(display->DeviceEnabled());
  EXPECT_EQ(display->GetPropertyString(1000001), "Not Executed");
  // Window 0 covers the display.
  EXPECT_EQ(display->GetPropertyNumber(5003), 0);
  EXPECT_EQ(display->GetPropertyNumber(5016), 2);
  EXPECT_EQ(display->GetPropertyNumber(5002), 20);
  EXPECT_EQ(display->ClaimDevice(1000), 0) << "a second claim succeeds at once";
  EXPECT_EQ(device_->Received(), kClaimBytes);
  EXPECT_EQ(display->ReleaseDevice(), 0);
  EXPECT_EQ(display->ReleaseDevice(), 106);
  EXPECT_EQ(display->Close(), 0);
  EXPECT_EQ(device_->Received(), kClaimBytes);
}

TEST_F(DisplayClaimTest, NegativeTimeoutIsRefusedAndDsrOffFailsTheClaimAfterItsTimeout) {
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Display"), 0);
  EXPECT_EQ(display->ClaimDevice(-1), 106);
  EXPECT_TRUE(device_->Received().empty());

  device_->Set("dsr off");
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display->ClaimDevice(200), 106);
  const uint64_t took = platform::TickCountMs() - start;
  EXPECT_GE(took, 1000u) << "a time-out below 1000 ms is raised to 1000";
  EXPECT_LT(took, 5000u);
  EXPECT_FALSE(display->Claimed());
  EXPECT_EQ(display->State(), 2) << "the object stays opened";
  EXPECT_EQ(device_->Received(), std::string("\x1B\x3D\x02", 3));

  device_->Set("dsr on");
  EXPECT_EQ(display->ClaimDevice(1000), 0);
  EXPECT_EQ(display->Close(), 0);
  EXPECT_EQ(display->State(), 1);
}

TEST_F(DisplayClaimTest, MissingPortTimesOutAndClaimBeforeOpenIsClosed) {
  rig_.AddDeviceEntry("Nowhere", rig_.Dir() + "/no-such-tty");
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Nowhere"), 0);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display->ClaimDevice(1000), 112);
  EXPECT_GE(platform::TickCountMs() - start, 1000u);
  display->Close();
}

TEST_F(DisplayClaimTest, EveryRequiredValueIsNeededButTheBaudRateIsNot) {
  for (const char* value :
       {"BitLength", "HandShake", "Parity", "Stop", "XonXoff", "Port", "DeviceName"}) {
    rig_.AddDeviceEntry(std::string("Lacks") + value, device_->attachment.LinkPath(), "XV-310K",
                        value);
    auto display = LineDisplay::Create();
    EXPECT_EQ(display->Open(std::string("Lacks") + value), 104) << value;
  }
  rig_.AddDeviceEntry("NoBaud", device_->attachment.LinkPath(), "XV-310K", "Baudrate");
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("NoBaud"), 0);
  EXPECT_EQ(display->ClaimDevice(1000), 0);
  display->Close();
}

TEST_F(DisplayClaimTest, AnotherModelHasNoWindowZero) {
  rig_.AddDeviceEntry("Other", device_->attachment.LinkPath(), "LD-9000");
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Other"), 0);
  ASSERT_EQ(display->ClaimDevice(1000), 0);
  display->SetDeviceEnabled(true);
  EXPECT_EQ(display->GetPropertyNumber(5016), 0) << "no window, no rows";
  EXPECT_EQ(display->DisplayText("hello", 0), 106);
  EXPECT_EQ(display->ClearText(), 106);
  EXPECT_EQ(display->CreateWindow(0, 0, 2, 20, 2, 20), 0);
  EXPECT_EQ(display->DisplayText("hello", 0), 0);
  display->Close();
}

TEST_F(DisplayClaimTest, PropertiesReadTheirValuesAndSettersCheckTheClaim) {
  auto display = LineDisplay::Create();
  EXPECT_EQ(display->Open("Display"), 0);
  struct Expected {
    int32_t index, value;
  };
  for (const Expected& e : {Expected{8, 1006001},
                            {5001, 998},
                            {5007, 100},
                            {5008, 20},
                            {5009, 0},
                            {5010, 2},
                            {5011, 10},
                            {5018, 1600},
                            {5501, 1},
                            {5502, 0},
                            {5503, 998},
                            {5504, 0},
                            {5505, 0},
                            {5506, 1},
                            {5507, 0},
                            {5508, 1},
                            {5510, 1},
                            {4242, 0},
                            {7, 0}}) {
    EXPECT_EQ(display->GetPropertyNumber(e.index), e.value) << e.index;
  }
  EXPECT_EQ(display->GetPropertyString(1000002), "OPOS Line Display");
  EXPECT_EQ(display->GetPropertyString(1000003), "Display.LineDisplay.SO2");
  EXPECT_EQ(display->GetPropertyString(1000004), "OPOS Line Display Service Object");
  EXPECT_EQ(display->GetPropertyString(1005001), "998");
  EXPECT_EQ(display->GetPropertyString(1005002), "");

  for (int32_t index : {3, 11, 5001, 5003, 5004, 5005, 5014, 5018}) {
    display->SetPropertyNumber(index, 1);
    EXPECT_EQ(display->ResultCode(), 103) << index;
  }
  EXPECT_EQ(display->GetPropertyNumber(5018), 1600) << "nothing changes unclaimed";
  display->SetPropertyNumber(6, 4711);
  EXPECT_EQ(display->ResultCode(), 4711);
  display->SetPropertyNumber(4, 1);
  EXPECT_EQ(display->ResultCode(), 0);
  EXPECT_TRUE(display->FreezeEvents());
  int32_t data = 5;
  std::string text;
  ASSERT_EQ(display->ClaimDevice(1000), 0);
  EXPECT_EQ(display->DirectIO(1, data, text), 0);
  EXPECT_EQ(display->DirectIO(2, data, text), 106);
  EXPECT_EQ(display->CheckHealth(1), 105);
  display->SetDeviceEnabled(true);
  EXPECT_EQ(display->CheckHealth(1), 0);
  EXPECT_EQ(display->CheckHealth(2), 0);
  EXPECT_EQ(display->CheckHealth(4), 106);
  EXPECT_EQ(display->GetPropertyString(1000001), "Not Executed");
  device_->Set("dsr off");
  EXPECT_EQ(display->CheckHealth(1), 106);
  display->Close();
}

TEST_F(DisplayClaimTest, ReleaseAndCloseLeaveNoThreadOrDescriptor) {
  const int threads = CountThreads();
  int descriptors = 0;
  for (int i = 0; i < 3; ++i) {
    // Counted after the first cycle, which gives this thread its message queue.
    if (i == 1) descriptors = CountOpenDescriptors();
    auto display = LineDisplay::Create();
    ASSERT_EQ(display->Open("Display"), 0);
    ASSERT_EQ(display->ClaimDevice(1000), 0);
    display->SetDeviceEnabled(true);
    EXPECT_EQ(display->CreateWindow(0, 0, 1, 10, 1, 10), 0);
    display->SetPropertyNumber(5014, 3);  // a marquee runs while the device is closed
    EXPECT_EQ(display->DisplayText("abc", 0), 0);
    EXPECT_EQ(display->Close(), 0);
  }
  EXPECT_TRUE(PumpUntil([&] { return CountThreads() == threads; }));
  EXPECT_EQ(CountOpenDescriptors(), descriptors);
}

TEST_F(DisplayClaimTest, ReleaseDoesNotHangWhenTheDisplayIsGone) {
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Display"), 0);
  ASSERT_EQ(display->ClaimDevice(1000), 0);
  display->SetDeviceEnabled(true);
  display->SetPropertyNumber(5015, 100);
  display->SetPropertyNumber(5014, 3);
  device_->Set("power off");
  device_->attachment.Stop();
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display->ReleaseDevice(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 3000u);
  EXPECT_EQ(display->Close(), 0);
}

TEST_F(DisplayClaimTest, ADisplayThatWentAwayFailsIsReportedOffAndWorksWhenItIsBack) {
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Display"), 0);
  std::vector<int32_t> statuses;
  display->on_status_update = [&](int32_t status) { statuses.push_back(status); };
  ASSERT_EQ(display->ClaimDevice(1000), 0);
  EXPECT_EQ(display->GetPropertyNumber(501), 1) << "CapPowerReporting";
  display->SetPropertyNumber(13, 1);  // PowerNotify
  display->SetDeviceEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return display->GetPropertyNumber(14) == 2001; }));
  ASSERT_EQ(display->DisplayText("before", 0), 0);

  device_->attachment.Stop();
  EXPECT_TRUE(PumpUntil([&] { return display->GetPropertyNumber(14) == 2004; }));
  EXPECT_TRUE(PumpUntil([&] { return statuses == std::vector<int32_t>{2001, 2004}; }));
  EXPECT_EQ(display->DisplayText("lost", 0), 111);
  EXPECT_EQ(display->ClearText(), 111);
  EXPECT_EQ(display->ScrollText(1, 1), 111);
  EXPECT_EQ(display->CheckHealth(1), 111);

  std::string error;
  ASSERT_TRUE(device_->attachment.Start(error)) << error;
  EXPECT_TRUE(PumpUntil([&] { return display->GetPropertyNumber(14) == 2001; }, 10000));
  EXPECT_TRUE(PumpUntil([&] { return statuses.size() == 3 && statuses[2] == 2001; }));
  EXPECT_EQ(display->CheckHealth(1), 0);
  ASSERT_EQ(display->DisplayText("back", 0), 0);
  EXPECT_TRUE(PumpUntil([&] {
    const auto screen = device_->display.Screen();
    return screen[0] == Padded("beforeback") && screen[1] == Padded("");
  }));
  display->Close();
}

TEST_F(DisplayClaimTest, InteractiveHealthCheckWithDsrOffChangesNothingOnTheDisplay) {
  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  auto previous = platform::ui::Install(ui);
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("Display"), 0);
  ASSERT_EQ(display->ClaimDevice(1000), 0);
  display->SetDeviceEnabled(true);
  device_->Set("dsr off");
  const size_t before = device_->Await(0, 9).size();
  ui->Press(platform::ui::kDialogStart);
  EXPECT_EQ(display->CheckHealth(3), 0);
  ASSERT_EQ(ui->Calls().size(), 1u);
  EXPECT_EQ(ui->Calls()[0].caption, "CheckHealth");
  EXPECT_EQ(device_->Await(0, before + 1, 300).size(), before);
  EXPECT_EQ(display->GetPropertyString(1000001), "Not Executed");
  display->Close();
  platform::ui::Install(previous);
}

}  // namespace
}  // namespace line_display::testing
