// The settings dialogs' test through the control objects: the test page on the virtual
// printer, made from an entry the utility wrote from its own device information file.
#include <gtest/gtest.h>

#include <memory>

#include "cls_opos.h"
#include "device_test.h"
#include "platform/ui_scripted.h"
#include "printer_fixture.h"

namespace confix {
namespace {

using service_core::testing::PrinterRig;
using service_core::testing::PumpUntil;

class ConfixDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    provider_ = std::make_shared<platform::ui::ScriptedProvider>();
    previous_ = platform::ui::Install(provider_);
  }
  void TearDown() override { platform::ui::Install(previous_); }

  clsOPOS Entry(const std::string& device_name, const std::string& port) {
    clsOPOS d;
    EXPECT_TRUE(d.Read(std::string(OPOS_BUILD_BIN) + "/" + InfOf(device_name), device_name));
    d.mstrPort = port;
    EXPECT_TRUE(d.Save(false));
    return d;
  }
  static std::string InfOf(const std::string& name) {
    return name.substr(0, name.size() - 1) + ".inf";
  }
  std::vector<platform::ui::ScriptedProvider::Call> Messages() { return provider_->Calls(); }

  PrinterRig rig_;
  std::shared_ptr<platform::ui::ScriptedProvider> provider_;
  std::shared_ptr<platform::ui::Provider> previous_;
};

TEST(ConfixTestPage, TextNamesTheModelFamilyOnlyForKnownNames) {
  const std::string head = "Interactive Hcheck!!\r\nOLE ZERI ZIZ\r\nService Object Version : 2.15\r\n";
  EXPECT_EQ(TestPageText("ThermalS", false), head + "Device Name : Thermal\r\n\r\n\r\n");
  EXPECT_EQ(TestPageText("ThermalN", true),
            head + "Network Environment!!!\r\nDevice Name : Thermal\r\n\r\n\r\n");
  EXPECT_EQ(TestPageText("RevUduzo3P", false), head + "Device Name : RevUduzo3\r\n\r\n\r\n");
  EXPECT_EQ(TestPageText("RevUduzo2U", false), head);
  EXPECT_EQ(TestPageText("Other", true), head);
}

TEST_F(ConfixDeviceTest, ThePrinterTestPrintsTheTestPageAndCutsOnTheVirtualPrinter) {
  auto& device = rig_.AddVirtualPrinter("ttyS");
  clsOPOS entry = Entry("ThermalS", rig_.Dir() + "/ttyS");
  ASSERT_TRUE(RunPrinterTest(entry, false));
  EXPECT_TRUE(Messages().empty());
  auto received = [&] {
    std::vector<uint8_t> bytes = device.printer.Capture();
    return std::string(bytes.begin(), bytes.end());
  };
  // The cut (ESC m) follows the text, which ends with the device-name line and two blank lines.
  ASSERT_TRUE(PumpUntil([&] { return received().find("\x1bm") != std::string::npos; }));
  const std::string bytes = received();
  const size_t text = bytes.find("Interactive Hcheck!!");
  ASSERT_NE(text, std::string::npos);
  EXPECT_NE(bytes.find("Service Object Version : 2.15", text), std::string::npos);
  EXPECT_NE(bytes.find("Device Name : Thermal", text), std::string::npos);
  EXPECT_GT(bytes.find("\x1bm"), bytes.find("Device Name : Thermal"));
  // Nothing stays open: a second test claims the port again.
  EXPECT_TRUE(RunPrinterTest(entry, false));
}

TEST_F(ConfixDeviceTest, TheDrawerTestKicksTheDrawerOfTheVirtualPrinter) {
  auto& device = rig_.AddVirtualPrinter("ttyS");
  clsOPOS entry = Entry("StandardS", rig_.Dir() + "/ttyS");
  entry.mlngConnectorPinNo = 5;
  ASSERT_TRUE(entry.Save(false));
  ASSERT_TRUE(RunDeviceTest(entry, false));
  EXPECT_TRUE(Messages().empty()) << Messages()[0].text;
  std::vector<uint8_t> bytes = device.printer.Capture();
  const std::string received(bytes.begin(), bytes.end());
  EXPECT_NE(received.find("\x1bp1"), std::string::npos);  // ESC p on pin 5
  EXPECT_TRUE(device.printer.Status().drawer_open);
}

TEST_F(ConfixDeviceTest, FailingStepsShowTheirCodeTitledErrAndLeaveNothingOpen) {
  clsOPOS missing;
  missing.mstrDeviceClass = "POSPrinter";
  missing.mstrKeyName = "NoSuchEntry";
  EXPECT_FALSE(RunPrinterTest(missing, false));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].caption, "ERR");
  EXPECT_EQ(Messages()[0].text, "Prt.Open ResultCode : 109");  // no such device entry

  // A port nobody listens on: the claim fails and the control object is closed again.
  provider_->ClearCalls();
  clsOPOS entry = Entry("ThermalS", rig_.Dir() + "/nothing-here");
  EXPECT_FALSE(RunPrinterTest(entry, false));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text.rfind("Prt.ClaimDevice ResultCode : ", 0), 0u) << Messages()[0].text;

  // The drawer test takes the same path; without a drawer entry its Open fails.
  provider_->ClearCalls();
  clsOPOS drawer;
  drawer.mstrDeviceClass = "CashDrawer";
  drawer.mstrKeyName = "NoDrawer";
  EXPECT_FALSE(RunDeviceTest(drawer, false));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, "ResultCode : 109");
  EXPECT_EQ(Messages()[0].caption, "ERR");
}

}  // namespace
}  // namespace confix
