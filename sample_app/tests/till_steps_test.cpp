// The five steps against the printer service object and the virtual printer: what reaches
// the paper, the messages, and the state of the step button.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "headless_run.h"
#include "platform/event.h"
#include "test_support/process.h"
#include "test_support/temp_registry.h"
#include "till_rig.h"

namespace demotill::testing {
namespace {

using service_core::testing::PumpUntil;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Waits until the renderer has closed `count` receipts.
bool WaitForReceipts(TillRig& till, int count) {
  return PumpUntil([&] { return till.renderer().ReceiptCount() >= count; }, 10000);
}

// Loads step `number`, presses its button and returns what the paper shows once the first
// receipt is cut.
std::string PressAndRead(TillRig& till, int number) {
  RecordingHost host;
  TillStep step(number, host, till.Settings());
  step.Load();
  EXPECT_TRUE(step.ButtonEnabled());
  step.Press();
  EXPECT_TRUE(WaitForReceipts(till, 1));
  return till.renderer().Transcript();
}

TEST(DemoTillSteps, TransactionPrintOnTheWideThermalPrinter) {
  TillRig till("Thermal42");
  RecordingHost host;
  TillStep step(1, host, till.Settings());
  step.Load();
  ASSERT_TRUE(step.ButtonEnabled());
  step.Press();
  ASSERT_TRUE(WaitForReceipts(till, 1));
  const std::string paper = till.renderer().Transcript();
  EXPECT_TRUE(Contains(paper, "TEL (123)-456-7890")) << paper;
  EXPECT_TRUE(Contains(paper, "Thank you for coming to our shop!")) << paper;
  EXPECT_TRUE(Contains(paper, "December/08/2026 PM 03:07")) << paper;
  EXPECT_TRUE(Contains(paper, "Chicken                             $10.00")) << paper;
  EXPECT_TRUE(Contains(paper, "Change                              $42.50")) << paper;
  EXPECT_TRUE(Contains(paper, "$157.50")) << paper;
  EXPECT_TRUE(till.Messages().empty());
  step.Unload();
  EXPECT_FALSE(step.Device().IsOpen());
}

// A dot-matrix printer without a knife: the 33-character layout, torn off after five
// blank lines.
TEST(DemoTillSteps, NarrowLayoutWithoutKnifeEndsWithFiveLineFeeds) {
  TillRig till("RevUduzo4");
  RecordingHost host;
  TillStep step(1, host, till.Settings());
  step.Load();
  step.Press();
  // The last print call, behind its attribute reset and line spacing, is the closing.
  const std::string closing =
      "\x1b"
      "3\x19\r\n\r\n\r\n\r\n\r\n";
  ASSERT_TRUE(PumpUntil([&] {
    const std::string got = till.Received();
    return got.size() >= closing.size() &&
           got.compare(got.size() - closing.size(), closing.size(), closing) == 0;
  })) << till.Received();
  EXPECT_TRUE(Contains(till.Received(), "Chicken                    $10.00\r\n"));
  EXPECT_FALSE(Contains(till.Received(),
                        "\x1d"
                        "V"));  // no cut command
  EXPECT_TRUE(till.Messages().empty());
}

TEST(DemoTillSteps, BitmapStepPrintsTheStoredLogoAboveTheReceipt) {
  TillRig till("Thermal42");
  const std::string paper = PressAndRead(till, 2);
  const size_t logo = paper.find("[image 192x64");
  ASSERT_NE(logo, std::string::npos) << paper;
  EXPECT_LT(logo, paper.find("TEL (123)-456-7890")) << paper;
  EXPECT_TRUE(till.Messages().empty());
}

TEST(DemoTillSteps, BarcodeStepPrintsCode39AtFullWidthUnderTheReceipt) {
  TillRig till("Thermal42");
  const std::string paper = PressAndRead(till, 3);
  const size_t barcode = paper.find("[barcode");
  ASSERT_NE(barcode, std::string::npos) << paper;
  EXPECT_TRUE(Contains(paper.substr(barcode), "012345678901")) << paper;
  EXPECT_LT(paper.find("Change"), barcode);
  EXPECT_LT(paper.find("[image 192x64"), paper.find("TEL (123)"));
}

// Step 3 checks CapRecBitmap at load. Our printer has it, so the button is on and the
// stored logo prints above the receipt (above); a printer without it (here the control
// objects' test service object, which reports no capabilities but CapRecPapercut) gets the
// button disabled without a message, and nothing is printed.
TEST(DemoTillSteps, BarcodeStepOnAPrinterWithoutBitmapsHasItsButtonDisabled) {
  TillRig till("");
  ASSERT_TRUE(test_support::RegisterServerLibrary(TEST_SO_PATH));
  service_core::testing::PrinterRig::Import(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter]\n"
      "\"Unit1\"=\"PlainPrinter\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\PlainPrinter]\n"
      "@=\"Test.POSPrinter.SO\"\n");
  RecordingHost host;
  TillStep step(3, host, till.Settings());
  step.Load();
  EXPECT_EQ(step.Device().GetPropertyNumber(8517), 0);  // CapRecBitmap
  EXPECT_FALSE(step.ButtonEnabled());
  EXPECT_EQ(host.button_states, std::vector<bool>{false});
  EXPECT_NE(std::find(host.notes.begin(), host.notes.end(), "CapRecBitmap = 0"), host.notes.end());
  EXPECT_TRUE(till.Messages().empty());
  EXPECT_TRUE(step.Device().IsOpen());  // opened and claimed: only the button is off
  step.Unload();
  EXPECT_FALSE(step.Device().IsOpen());
  EXPECT_TRUE(till.Received().empty()) << till.Received();

  // The same on the command line: the step is loaded, not pressed.
  HeadlessOptions options;
  options.steps = {3};
  options.device_name = "Unit1";
  options.logo_path = till.Settings().logo_path;
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  RunHeadless(options, out);
  std::fclose(out);
  const std::string printed(text, size);
  std::free(text);
  EXPECT_TRUE(Contains(printed, "CapRecBitmap = 0\nbutton disabled\n")) << printed;
  EXPECT_FALSE(Contains(printed, "press ")) << printed;
}

// 56 characters a line: neither layout fits, so steps 1, 2 and 4 print only the closing.
TEST(DemoTillSteps, FiftySixColumnsPrintOnlyTheClosing) {
  TillRig till("Thermal42");
  for (int number : {1, 2, 4}) {
    RecordingHost host;
    TillStep step(number, host, till.Settings());
    step.Load();
    step.Device().SetPropertyNumber(8016, 56);  // RecLineChars
    ASSERT_EQ(step.Device().GetPropertyNumber(8016), 56);
    step.Press();
    ASSERT_TRUE(WaitForReceipts(till, number == 1 ? 1 : number == 2 ? 2 : 3)) << number;
  }
  const std::string paper = till.renderer().Transcript();
  EXPECT_FALSE(Contains(paper, "Chicken")) << paper;
  EXPECT_FALSE(Contains(paper, "[image")) << paper;
  EXPECT_FALSE(Contains(paper, "[barcode")) << paper;
  // Only the async step reports its output.
  for (const std::string& text : till.Messages())
    EXPECT_EQ(text.rfind("Complete printing ", 0), 0u) << text;
}

TEST(DemoTillSteps, AsynchronousPrintReportsCompletionInAMessageBox) {
  TillRig till("Thermal42");
  RecordingHost host;
  TillStep step(4, host, till.Settings());
  step.Load();
  step.Press();
  ASSERT_TRUE(till.WaitForMessages(1));
  ASSERT_TRUE(WaitForReceipts(till, 1));
  const auto calls = till.ui().Calls();
  EXPECT_EQ(calls[0].caption, "DemoTill");
  EXPECT_EQ(calls[0].flags & platform::ui::kIconMask, platform::ui::kIconInformation);
  EXPECT_EQ(calls[0].text.rfind("Complete printing ", 0), 0u) << calls[0].text;
  const std::string id = calls[0].text.substr(18);
  EXPECT_FALSE(id.empty());
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;
  const std::string paper = till.renderer().Transcript();
  EXPECT_TRUE(Contains(paper, "[barcode")) << paper;
  EXPECT_TRUE(Contains(paper, "Total")) << paper;
}

// With the cover open the asynchronous print fails: the error reaches a message box and
// the cover's status update disables the button; closing the cover enables it again and
// the retried print completes.
TEST(DemoTillSteps, AsynchronousPrintShowsErrorsAndFollowsTheCover) {
  TillRig till("Thermal42");
  RecordingHost host;
  TillStep step(4, host, till.Settings());
  step.Load();
  PumpUntil([] { return false; }, 500);
  till.device().Set("cover open");
  ASSERT_TRUE(PumpUntil([&] { return !step.ButtonEnabled(); })) << "no cover-open status update";
  step.Press();
  ASSERT_TRUE(till.WaitForMessages(1));
  EXPECT_EQ(till.Messages()[0],
            "Printer Error.\r\n\r\nResultCode = 114\r\nResultCodeExtended = 201");
  till.device().Set("cover close");
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (const std::string& text : till.Messages())
          if (text.rfind("Complete printing ", 0) == 0) return true;
        return false;
      },
      15000));
  EXPECT_TRUE(step.ButtonEnabled());
  EXPECT_TRUE(WaitForReceipts(till, 1));
}

// The drawer step waits while the drawer stands open: beeping once it has been open 5 s,
// until a person closes it; the button is off and the hourglass shows meanwhile.
TEST(DemoTillSteps, DrawerStepWaitsForTheDrawerToClose) {
  TillRig till("Thermal42");
  till.AddDrawer();
  RecordingHost host;
  TillStep step(5, host, till.Settings());
  step.Load();
  ASSERT_TRUE(step.ButtonEnabled()) << (till.Messages().empty() ? "" : till.Messages()[0]);
  std::thread person([&] {
    platform::SleepMs(9000);  // beeping starts 5 s into the wait, after the kick settles
    till.device().Set("drawer close");
  });
  const uint64_t start = platform::TickCountMs();
  step.Press();
  const uint64_t waited = platform::TickCountMs() - start;
  person.join();
  EXPECT_GE(waited, 8500u);
  EXPECT_FALSE(till.device().printer.Status().drawer_open);
  EXPECT_EQ(host.busy_states, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.button_states, (std::vector<bool>{false, true}));
  EXPECT_TRUE(step.ButtonEnabled());
  bool beeped = false;
  for (const auto& call : till.ui().Calls()) {
    if (call.kind != platform::ui::ScriptedProvider::Call::kBeep) continue;
    beeped = true;
    EXPECT_EQ(call.flags, 1000u);  // frequency
    EXPECT_EQ(call.duration_ms, 100u);
  }
  EXPECT_TRUE(beeped);
  EXPECT_TRUE(till.Messages().empty());
}

TEST(DemoTillSteps, MissingDeviceOrRefusedClaimDisablesTheButton) {
  {
    TillRig till("");
    RecordingHost host;
    TillStep step(1, host, till.Settings());
    step.Load();
    EXPECT_FALSE(step.ButtonEnabled());
    EXPECT_EQ(till.Messages(), std::vector<std::string>{"Fails to open the device."});
    step.Unload();  // harmless on a device that never opened
    EXPECT_EQ(till.Messages().size(), 1u);
  }
  {
    TillRig till("Thermal42");
    till.device().Set("answers off");
    RecordingHost host;
    TillStep step(3, host, till.Settings());
    step.Load();
    EXPECT_FALSE(step.ButtonEnabled());
    EXPECT_EQ(till.Messages(), std::vector<std::string>{"Fails to claim the device."});
    EXPECT_FALSE(step.Device().IsOpen());  // closed after the failed claim
  }
}

// The command-line runner prints the calls, the events and the message boxes.
TEST(DemoTillSteps, HeadlessRunPrintsCallsEventsAndMessages) {
  TillRig till("Thermal42");
  HeadlessOptions options;
  options.steps = {1, 4};
  options.device_name = "Unit1";
  options.logo_path = till.Settings().logo_path;
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  const int status = RunHeadless(options, out);
  std::fclose(out);
  const std::string printed(text, size);
  std::free(text);
  EXPECT_EQ(status, 0) << printed;
  EXPECT_TRUE(Contains(printed, "== frmStep1 \"Step1. Transaction Print\" on \"Unit1\"\n"))
      << printed;
  EXPECT_TRUE(Contains(printed, "Open \"Unit1\" -> 0\nClaimDevice 1000 -> 0\n")) << printed;
  EXPECT_TRUE(Contains(printed, "press \"Asynchronous Print\"\n")) << printed;
  EXPECT_TRUE(Contains(printed, "event OutputComplete ")) << printed;
  EXPECT_TRUE(Contains(printed, "msgbox \"DemoTill\" \"Complete printing ")) << printed;
  EXPECT_TRUE(Contains(printed, "ReleaseDevice -> 0\nClose -> 0\n")) << printed;
  EXPECT_TRUE(WaitForReceipts(till, 2));
}

// Asked for its usage or version, the program answers without opening its window; a wrong
// option still gets the usage and status 2.
TEST(DemoTillProgram, HelpAndVersionNeedNoDisplay) {
  test_support::CommandRun run = test_support::RunWithoutDisplay(DEMOTILL_PATH, "--help");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output.rfind("usage: DemoTill [--registry FILE]", 0), 0u) << run.output;
  run = test_support::RunWithoutDisplay(DEMOTILL_PATH, "--version");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "DemoTill 2.15\n");
  run = test_support::RunWithoutDisplay(DEMOTILL_PATH, "--colour");
  EXPECT_EQ(run.exit_code, 2) << run.output;
  EXPECT_TRUE(Contains(run.output, "usage: DemoTill")) << run.output;
}

}  // namespace
}  // namespace demotill::testing
