// Open, claim, enable, release and close through the control object against the virtual
// printer, with the result codes of every failure.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "platform/event.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

using opos::control::POSPrinter;

uint64_t Now() { return platform::TickCountMs(); }

class OpenClaimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter("ttyP0");
    rig_.AddDeviceEntry("Receipt1", device_->attachment.LinkPath(), "Thermal42", "", "Unit1");
  }
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
};

TEST_F(OpenClaimTest, OpenNeedsEveryRequiredValue) {
  const char* required[] = {"Baudrate", "BitLength", "HandShake", "Parity",
                            "Stop",     "XonXoff",   "Port",      "DeviceName"};
  for (const char* value : required) {
    const std::string key = std::string("Without") + value;
    rig_.AddDeviceEntry(key, device_->attachment.LinkPath(), "Thermal42", value);
    auto printer = POSPrinter::Create();
    EXPECT_EQ(printer->Open(key), opos::kNoService) << value;
    EXPECT_FALSE(printer->IsOpen()) << value;
  }
  // The optional buffer values are absent from every entry above; with the required ones
  // present the device opens.
  auto printer = POSPrinter::Create();
  EXPECT_EQ(printer->Open("Receipt1"), opos::kSuccess);
}

TEST_F(OpenClaimTest, OpenedObjectHasItsDefaultsAndDoesNotTouchThePort) {
  auto printer = OpenPrinter("Unit1");
  EXPECT_EQ(printer->State(), opos::kStateIdle);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_FALSE(printer->Claimed());
  EXPECT_EQ(printer->GetPropertyNumber(14), 2000);  // PowerState unknown
  EXPECT_EQ(printer->GetPropertyNumber(501), 1);    // CapPowerReporting standard
  EXPECT_EQ(printer->GetPropertyNumber(8), 1003001);
  EXPECT_EQ(printer->GetPropertyString(1000003), "RecPrinter.POSPrinter.SO");
  EXPECT_EQ(printer->GetPropertyString(1000002), "OPOS POSPrinter");
  EXPECT_EQ(printer->GetPropertyString(1000004), "OPOS POSPrinter Service Object");
  EXPECT_EQ(printer->RecLineChars(), 42);
  EXPECT_EQ(printer->GetPropertyNumber(99999), 0);
  EXPECT_EQ(printer->GetPropertyString(1999999), "");
  EXPECT_TRUE(device_->printer.Capture().empty());

  // Setters that need a claim.
  printer->SetDeviceEnabled(true);
  EXPECT_EQ(printer->ResultCode(), opos::kNotClaimed);
  printer->SetAsyncMode(true);
  EXPECT_EQ(printer->ResultCode(), opos::kNotClaimed);
  EXPECT_FALSE(printer->AsyncMode());
  EXPECT_EQ(printer->ReleaseDevice(), opos::kIllegal);
  // Print methods refuse before the claim: PrintNormal checks the claim first, CutPaper
  // only checks that the device is enabled.
  EXPECT_EQ(printer->PrintNormal(2, "x"), opos::kNotClaimed);
  EXPECT_EQ(printer->CutPaper(100), opos::kDisabled);
}

TEST_F(OpenClaimTest, DotMatrixAndSensorlessModelsChangeCapabilities) {
  rig_.AddDeviceEntry("Impact", device_->attachment.LinkPath(), "Impact33");
  rig_.AddDeviceEntry("NoCutter", device_->attachment.LinkPath(), "RevUduzo4 A");
  auto impact = OpenPrinter("Impact");
  EXPECT_EQ(impact->RecLineChars(), 33);
  EXPECT_EQ(impact->RecLineWidth(), 396);
  EXPECT_EQ(impact->GetPropertyNumber(8516), 0);  // CapRecBarCode
  EXPECT_EQ(impact->GetPropertyNumber(8504), 1);  // CapCoverSensor
  auto no_cutter = OpenPrinter("NoCutter");
  EXPECT_EQ(no_cutter->GetPropertyNumber(8504), 0);
  EXPECT_FALSE(no_cutter->CapRecPapercut());
  EXPECT_EQ(no_cutter->GetPropertyString(1000003), "RecPrinter.POSPrinter.SO");
}

TEST_F(OpenClaimTest, ClaimEnableReleaseClose) {
  auto printer = OpenPrinter("Unit1");
  ASSERT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_TRUE(printer->Claimed());
  EXPECT_FALSE(printer->DeviceEnabled());
  EXPECT_EQ(printer->State(), opos::kStateIdle);
  EXPECT_EQ(printer->ResultCodeExtended(), 0);
  // The thermal connect asked for automatic status back.
  EXPECT_TRUE(device_->printer.Status().asb_enabled);

  // Claiming again succeeds without touching the port.
  const size_t sent = device_->printer.Capture().size();
  EXPECT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(device_->printer.Capture().size(), sent);

  printer->SetDeviceEnabled(true);
  EXPECT_EQ(printer->ResultCode(), 0);
  EXPECT_TRUE(printer->DeviceEnabled());
  printer->SetPropertyNumber(13, 1);  // PowerNotify while enabled
  EXPECT_EQ(printer->ResultCode(), opos::kIllegal);
  EXPECT_EQ(printer->GetPropertyNumber(13), 0);
  printer->SetAsyncMode(true);
  EXPECT_TRUE(printer->AsyncMode());

  EXPECT_EQ(printer->ReleaseDevice(), opos::kSuccess);
  EXPECT_FALSE(printer->Claimed());
  EXPECT_FALSE(printer->DeviceEnabled());
  EXPECT_EQ(printer->ReleaseDevice(), opos::kIllegal);
  // The port is free again: the same object claims once more.
  EXPECT_EQ(printer->ClaimDevice(0), opos::kSuccess);
  EXPECT_EQ(printer->Close(), opos::kSuccess);
}

TEST_F(OpenClaimTest, TimeoutArgumentAndPortThatCannotBeOpened) {
  rig_.AddDeviceEntry("Nowhere", rig_.Dir() + "/no-such-port", "Thermal42", "", "Gone");
  rig_.AddDeviceEntry("BadBaud", device_->attachment.LinkPath(), "Thermal42", "", "", 2);
  auto printer = OpenPrinter("Gone");

  uint64_t start = Now();
  EXPECT_EQ(printer->ClaimDevice(-1), opos::kIllegal);
  EXPECT_LT(Now() - start, 500u);

  // Timeout 0 is raised to one second of retries.
  start = Now();
  EXPECT_EQ(printer->ClaimDevice(0), opos::kTimeout);
  EXPECT_GE(Now() - start, 1000u);
  EXPECT_EQ(printer->ResultCode(), opos::kTimeout);
  EXPECT_FALSE(printer->Claimed());
  EXPECT_EQ(printer->State(), opos::kStateIdle);

  auto bad_baud = OpenPrinter("BadBaud");
  EXPECT_EQ(bad_baud->ClaimDevice(100), opos::kTimeout);
  EXPECT_TRUE(device_->printer.Capture().empty());
}

// The printer's conditions at claim time, for the thermal and the dot-matrix protocol.
void ExpectClaimConditions(PrinterRig& rig, VirtualPrinterOnPty& device, const std::string& name) {
  auto printer = OpenPrinter(name);
  struct Case {
    const char* set;
    const char* reset;
    int32_t extended;
  };
  const Case cases[] = {{"cover open", "cover close", 201},
                        {"paper out", "paper in", 203},
                        {"answers off", "answers on", 10007},
                        {"power off", "power on", 10007}};
  for (const Case& c : cases) {
    device.Set(c.set);
    EXPECT_EQ(printer->ClaimDevice(1000), opos::kIllegal) << c.set;
    EXPECT_EQ(printer->ResultCode(), opos::kIllegal) << c.set;
    EXPECT_EQ(printer->ResultCodeExtended(), c.extended) << c.set;
    EXPECT_FALSE(printer->Claimed());
    EXPECT_EQ(printer->State(), opos::kStateIdle) << "stays opened";
    device.Set(c.reset);
  }
  // The application claims again once the printer is ready.
  EXPECT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  EXPECT_EQ(printer->ResultCodeExtended(), 0);
  EXPECT_EQ(printer->ReleaseDevice(), opos::kSuccess);
  (void)rig;
}

TEST_F(OpenClaimTest, ThermalPrinterConditionsAtClaim) {
  ExpectClaimConditions(rig_, *device_, "Unit1");
}

TEST_F(OpenClaimTest, DotMatrixPrinterConditionsAtClaim) {
  vdev::PrinterConfig config;
  config.kind = vdev::PrinterKind::DotMatrix;
  auto& impact = rig_.AddVirtualPrinter("ttyP1", config);
  rig_.AddDeviceEntry("Impact", impact.attachment.LinkPath(), "Impact33");
  ExpectClaimConditions(rig_, impact, "Impact");
}

TEST_F(OpenClaimTest, ReleaseReturnsWhenThePrinterStopsAnsweringOrDisappears) {
  auto printer = OpenPrinter("Unit1");
  ASSERT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  printer->SetDeviceEnabled(true);
  device_->Set("answers off");
  device_->Set("power off");
  platform::SleepMs(600);  // a monitor round sees the lines low
  uint64_t start = Now();
  EXPECT_EQ(printer->ReleaseDevice(), opos::kSuccess);
  EXPECT_LT(Now() - start, 5000u);

  device_->Set("power on");
  device_->Set("answers on");
  ASSERT_EQ(printer->ClaimDevice(1000), opos::kSuccess);
  device_->attachment.Stop();  // the device file goes away under the open port
  platform::SleepMs(600);
  start = Now();
  EXPECT_EQ(printer->Close(), opos::kSuccess);
  EXPECT_LT(Now() - start, 5000u);
}

}  // namespace
}  // namespace service_core::testing
