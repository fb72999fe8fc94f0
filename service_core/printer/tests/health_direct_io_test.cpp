// CheckHealth at every level and DirectIO, through the control object, against the bytes
// the virtual printer received.
#include <memory>

#include "output_fixture.h"
#include "platform/ui_scripted.h"

namespace service_core::testing {
namespace {

using platform::ui::ScriptedProvider;

const Bytes kTestPage = ToBytes(
    "\x1B@\nInteractive HCheck!!\nZERI ZIZ\nService Object Version : 1.3.0\n"
    "Device Name : Thermal\n");

class HealthDirectIOTest : public EnabledPrinterTest {
 protected:
  void TearDown() override {
    platform::ui::Install(nullptr);
    EnabledPrinterTest::TearDown();
  }
  std::string HealthText() { return printer_->GetPropertyString(1000001); }
  std::shared_ptr<ScriptedProvider> InstallScript() {
    auto ui = std::make_shared<ScriptedProvider>();
    platform::ui::Install(ui);
    return ui;
  }
};

TEST_F(HealthDirectIOTest, DirectIOPrintsAnNvImageAndIgnoresOtherCommands) {
  EXPECT_EQ(DirectIO(111, 0x101, "PTR_BM_CENTER"), 0);  // only the low byte counts
  EXPECT_EQ(ReceivedWhenAtLeast(8), NvImage('1', 0x01));

  Mark();
  EXPECT_EQ(DirectIO(112, 1, "PTR_BM_CENTER"), 0);
  EXPECT_EQ(DirectIO(0, 0, ""), 0);
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_MIDDLE"), opos::kIllegal);
  EXPECT_EQ(printer_->ResultCode(), opos::kIllegal);
  EXPECT_EQ(DirectIO(111, 1, "ptr_bm_left"), opos::kIllegal);
  EXPECT_EQ(DirectIO(111, 7, "PTR_BM_RIGHT"), 0);
  EXPECT_EQ(ReceivedWhenAtLeast(8), NvImage('2', 7));

  printer_->SetDeviceEnabled(false);
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), opos::kDisabled);
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), opos::kNotClaimed);
}

TEST_F(HealthDirectIOTest, DirectIOWritesRawBytesUnchangedAndWholeAlsoInAsyncMode) {
  // Zero bytes and a bitmap reference must survive; 70 000 bytes take three pieces.
  std::string raw("\x1C\x71\x01\x00\x00\x1B|1B\x00", 11);
  raw += std::string(70000, '\x5A');
  int32_t written = 0;
  EXPECT_EQ(printer_->DirectIO(120, written, raw), 0);
  EXPECT_EQ(written, 70011);
  EXPECT_EQ(ReceivedWhenAtLeast(raw.size()), ToBytes(raw));

  Mark();
  SetAsync();
  EXPECT_EQ(printer_->PrintNormal(2, "queued first\n"), 0);
  EXPECT_EQ(DirectIO(120, 0, "\x1B@"), 0);
  const Bytes got = ReceivedWhenAtLeast(2);
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(Bytes(got.end() - 2, got.end()), ToBytes("\x1B@"));  // after the queued print

  Mark();
  EXPECT_EQ(DirectIO(120, 0, std::string((1 << 20) + 1, 'A')), opos::kIllegal);
  printer_->SetDeviceEnabled(false);
  EXPECT_EQ(DirectIO(120, 0, "A"), opos::kDisabled);
  platform::PumpMessages(300);
  EXPECT_TRUE(Received().empty());
}

TEST_F(HealthDirectIOTest, SynchronousPrintWithTheCoverOpenFailsAndSendsNothing) {
  device_->Set("cover open");
  ASSERT_TRUE(WaitForHealth(opos::kExtended));
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  Mark();
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  EXPECT_EQ(printer_->CheckHealth(2), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  EXPECT_EQ(HealthText(), "Last check was external.");
  platform::PumpMessages(300);
  EXPECT_TRUE(Received().empty());

  device_->Set("cover close");
  device_->Set("paper out");
  ASSERT_TRUE(WaitForHealth(opos::kExtended, 203));
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_LEFT"), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 203);
}

TEST_F(HealthDirectIOTest, InternalAndExternalChecks) {
  EXPECT_EQ(printer_->CheckHealth(1), 0);
  EXPECT_EQ(HealthText(), "Last check was internal.");
  platform::PumpMessages(300);
  EXPECT_TRUE(Received().empty());

  EXPECT_EQ(printer_->CheckHealth(2), 0);
  EXPECT_EQ(HealthText(), "Last check was external.");
  EXPECT_EQ(ReceivedWhenAtLeast(kTestPage.size()), kTestPage);

  EXPECT_EQ(printer_->CheckHealth(4), opos::kIllegal);
  EXPECT_EQ(printer_->CheckHealth(0), opos::kIllegal);
  EXPECT_EQ(HealthText(), "Last check was external.");

  printer_->SetDeviceEnabled(false);
  EXPECT_EQ(printer_->CheckHealth(1), opos::kDisabled);
  ASSERT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_EQ(printer_->CheckHealth(1), opos::kNotClaimed);
}

TEST_F(HealthDirectIOTest, InteractiveCheckPrintsOnStart) {
  auto ui = InstallScript();
  ui->Press(platform::ui::kDialogStart);
  EXPECT_EQ(printer_->CheckHealth(3), 0);
  EXPECT_EQ(HealthText(), "Last check was interactive.");
  EXPECT_EQ(ReceivedWhenAtLeast(kTestPage.size()), kTestPage);
  const auto calls = ui->Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, ScriptedProvider::Call::kDialog);
  EXPECT_EQ(calls[0].caption, "CheckHealth");
  EXPECT_EQ(calls[0].text, "Please Push the [Start] button to start the CheckHealth Method.");

  // Closed without Start: nothing checked, nothing printed, nothing failed.
  Mark();
  ui->ClearCalls();
  EXPECT_EQ(DirectIO(111, 1, "PTR_BM_MIDDLE"), opos::kIllegal);
  ui->Press(platform::ui::kDialogClose);
  EXPECT_EQ(printer_->CheckHealth(3), 0);
  platform::PumpMessages(300);
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(ui->Calls().size(), 1u);
}

TEST_F(HealthDirectIOTest, InteractiveCheckReportsTroubleInAMessageBox) {
  device_->Set("cover open");
  ASSERT_TRUE(WaitForHealth(opos::kExtended));
  auto ui = InstallScript();
  Mark();
  ui->Press(platform::ui::kDialogStart);
  EXPECT_EQ(printer_->CheckHealth(3), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  const auto calls = ui->Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].kind, ScriptedProvider::Call::kMessageBox);
  EXPECT_EQ(calls[1].text, "POSPrinter can't use.\nResultCode : 114");
  platform::PumpMessages(300);
  EXPECT_TRUE(Received().empty());
}

}  // namespace
}  // namespace service_core::testing
