// The network build's printer through the control object, against the virtual printer on
// loopback TCP: configuration, printing and status, a dropped connection, a power cycle,
// a printer that is not there, and the one connection of the process.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "bmp_builder.h"
#include "control_objects/opos_codes.h"
#include "network_rig.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/ui_scripted.h"
#include "printer_fixture.h"

namespace service_core::testing {
namespace {

using opos::control::POSPrinter;

constexpr char kEnableStatusBack[] = "\x1D\x61\xFF";

std::string StripedBitmapFile(const std::string& dir) {
  print_data::testing::BmpLayout layout;
  layout.width = 64;
  layout.height = 32;
  layout.pixel = [](int32_t x, int32_t y) { return (x + y) % 5 < 2; };
  const std::string path = dir + "/logo.bmp";
  std::ofstream(path, std::ios::binary) << print_data::testing::BuildBmp(layout);
  return path;
}

std::string ReceiptLine(char receipt, int line) {
  char text[32];
  std::snprintf(text, sizeof text, "Receipt %c line %02d\n", receipt, line);
  return text;
}

class NetworkPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = &rig_.AddVirtualPrinter();
    NetworkRig::AddEntry("POSPrinter", "Net1", "127.0.0.1",
                         NetworkRig::PortText(device_->attachment.Port()), "Thermal42");
    printer_ = OpenPrinter("Net1");
    printer_->on_status_update = [this](int32_t s) { statuses_.push_back(s); };
    printer_->on_output_complete = [this](int32_t id) { outputs_.push_back(id); };
    printer_->on_error = [this](int32_t rc, int32_t, int32_t, int32_t& response) {
      errors_.push_back(rc);
      response = opos::kErRetry;
    };
  }
  void TearDown() override {
    printer_->Close();
    printer_ = {};
  }
  void ClaimAndEnable(bool power_notify = false) {
    ASSERT_EQ(printer_->ClaimDevice(1000), 0);
    printer_->SetPropertyNumber(13, power_notify ? 1 : 0);
    printer_->SetDeviceEnabled(true);
    ASSERT_EQ(printer_->ResultCode(), 0);
  }
  bool StatusArrives(int32_t status, uint32_t limit_ms = 10000) {
    return PumpUntil([&] { return std::count(statuses_.begin(), statuses_.end(), status) > 0; },
                     limit_ms);
  }
  bool Received(size_t from, const std::string& what, uint32_t limit_ms = 10000) {
    return PumpUntil(
        [&] { return device_->ReceivedSince(from).find(what) != std::string::npos; }, limit_ms);
  }

  NetworkRig rig_;
  NetworkPrinter* device_ = nullptr;
  opos::control::ObjectRef<POSPrinter> printer_;
  std::vector<int32_t> statuses_, outputs_, errors_;
};

TEST(NetworkConfiguration, PortIsReadAsTextOrNumberAndTheIdentityIsTheNetworkBuilds) {
  NetworkRig rig;
  NetworkPrinter& device = rig.AddVirtualPrinter();
  const int port = device.attachment.Port();
  char dword[32];
  std::snprintf(dword, sizeof dword, "dword:%08x", port);
  NetworkRig::AddEntry("POSPrinter", "Text", "127.0.0.1", NetworkRig::PortText(port), "Thermal42");
  NetworkRig::AddEntry("POSPrinter", "Number", "127.0.0.1", dword, "Thermal42");
  for (const char* name : {"Text", "Number"}) {
    auto printer = OpenPrinter(name);
    ASSERT_EQ(printer->ClaimDevice(0), 0) << name;
    EXPECT_EQ(printer->GetPropertyNumber(8), 1003000);
    EXPECT_EQ(printer->GetPropertyString(1000003), "RecPrinter.POSPrinter.SO");
    EXPECT_EQ(printer->Close(), 0);
  }
  // No Port: 9100 is taken and the entry opens. No IP, or a Port that names no port: 104.
  NetworkRig::AddEntry("POSPrinter", "NoPort", "127.0.0.1", "", "Thermal42");
  NetworkRig::AddEntry("POSPrinter", "NoIp", "", NetworkRig::PortText(port), "Thermal42");
  NetworkRig::AddEntry("POSPrinter", "BadPort", "127.0.0.1", "\"91OO\"", "Thermal42");
  NetworkRig::AddEntry("POSPrinter", "PortZero", "127.0.0.1", "dword:00000000", "Thermal42");
  EXPECT_EQ(POSPrinter::Create()->Open("NoPort"), 0);
  for (const char* name : {"NoIp", "BadPort", "PortZero"})
    EXPECT_EQ(POSPrinter::Create()->Open(name), opos::kNoService) << name;
}

TEST_F(NetworkPrinterTest, PrintsAndReportsCoverAndPaperOverTheConnection) {
  ClaimAndEnable();
  EXPECT_TRUE(StatusArrives(26));
  size_t mark = device_->ReceivedCount();
  ASSERT_EQ(printer_->PrintNormal(2, "Synchronous line\n"), 0);
  EXPECT_TRUE(Received(mark, "Synchronous line\n"));

  printer_->SetAsyncMode(true);
  ASSERT_EQ(printer_->PrintNormal(2, "Asynchronous line\n"), 0);
  EXPECT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 10000));
  EXPECT_TRUE(Received(mark, "Asynchronous line\n"));
  printer_->SetAsyncMode(false);

  // The stored logo by alignment number, without the serial build's line feed.
  mark = device_->ReceivedCount();
  int32_t image = 3;
  std::string alignment = "-2";
  EXPECT_EQ(printer_->DirectIO(111, image, alignment), 0);
  EXPECT_TRUE(Received(mark, std::string("\x1B\x61\x01\x1C\x70\x03\x30", 7)));

  device_->Set("cover open");
  EXPECT_TRUE(StatusArrives(11));
  EXPECT_EQ(printer_->PrintNormal(2, "x\n"), opos::kExtended);
  EXPECT_EQ(printer_->ResultCodeExtended(), 201);
  device_->Set("cover close");
  EXPECT_TRUE(StatusArrives(12));
  device_->Set("paper out");
  EXPECT_TRUE(StatusArrives(24));
  device_->Set("paper in");
  EXPECT_TRUE(PumpUntil([&] { return std::count(statuses_.begin(), statuses_.end(), 26) == 2; }));
}

TEST_F(NetworkPrinterTest, AnswersAndStatusBlocksCutAcrossReadsAreStillSeen) {
  ClaimAndEnable();
  // Pieces of three bytes 70 ms apart: the monitor's reads (every 50 ms while it waits for
  // answers) cut the completion answers and the status blocks.
  device_->Set("split 3 70");
  printer_->SetAsyncMode(true);
  for (int i = 1; i <= 4; ++i)
    ASSERT_EQ(printer_->PrintNormal(2, "Piece " + std::to_string(i) + "\n"), 0);
  const uint64_t start = platform::TickCountMs();
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 4; }, 30000));
  EXPECT_LT(platform::TickCountMs() - start, 8000u);  // no answer waited for a resend
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2, 3, 4}));
  device_->Set("cover open");
  EXPECT_TRUE(StatusArrives(11));
  device_->Set("cover close");
  EXPECT_TRUE(StatusArrives(12));
}

TEST_F(NetworkPrinterTest, ADroppedConnectionComesBackAndTheQueuedJobIsPrinted) {
  ClaimAndEnable();
  const std::string bitmap = StripedBitmapFile(rig_.Dir());
  size_t mark = device_->ReceivedCount();
  ASSERT_EQ(printer_->SetBitmap(1, 2, bitmap, -11, -2), 0);
  const std::string download = "\x1D*\x08\x04";
  // The download has reached the printer before the next mark.
  ASSERT_TRUE(Received(mark, download));
  ASSERT_TRUE(PumpUntil([&] { return device_->ReceivedSince(mark).size() >= 4 + 256; }));
  mark = device_->ReceivedCount();
  ASSERT_EQ(printer_->PrintNormal(2, "\x1B|1BBefore\n"), 0);
  ASSERT_TRUE(Received(mark, "Before\n"));
  EXPECT_EQ(device_->ReceivedSince(mark).find(download), std::string::npos);

  mark = device_->ReceivedCount();
  device_->Set("disconnect");
  printer_->SetAsyncMode(true);
  ASSERT_EQ(printer_->PrintNormal(2, "\x1B|1BAfter the drop\n"), 0);
  // Printed once the monitor has connected again (every 3 s), perhaps after error events
  // answered with retry; never dropped.
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 30000));
  platform::PumpMessages(1000);  // anything written again would arrive now
  const std::string after = device_->ReceivedSince(mark);
  EXPECT_EQ(Occurrences(after, "After the drop\n"), 1u);
  EXPECT_NE(after.find(kEnableStatusBack), std::string::npos);
  EXPECT_LT(after.find(download), after.find("After the drop\n"));
  EXPECT_TRUE(device_->attachment.HostConnected());
}

// The printer resets the connection while it still prints from its buffer; it finishes,
// and its answers go into the dead connection. Reconnected, the worker must learn what
// printed instead of printing it again: every line comes out once, both requests complete.
TEST_F(NetworkPrinterTest, ADropWhileThePrinterPrintsFromItsBufferPrintsEveryLineOnce) {
  ClaimAndEnable();
  printer_->SetAsyncMode(true);
  const size_t mark = device_->ReceivedCount();
  device_->Set("slow 1");  // each byte takes a millisecond: about 0.6 s a receipt
  for (const char receipt : {'A', 'B'}) {
    std::string data;
    for (int line = 1; line <= 30; ++line) data += ReceiptLine(receipt, line);
    ASSERT_EQ(printer_->PrintNormal(2, data), 0);
  }
  ASSERT_TRUE(Received(mark, ReceiptLine('A', 5)));
  device_->Set("disconnect");
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 2; }, 40000)) << errors_.size();
  platform::PumpMessages(1000);  // anything written again would arrive now
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2}));
  const std::string printed = device_->ReceivedSince(mark);
  for (const char receipt : {'A', 'B'}) {
    for (int line = 1; line <= 30; ++line)
      EXPECT_EQ(Occurrences(printed, ReceiptLine(receipt, line)), 1u) << ReceiptLine(receipt, line);
  }
}

// Dropped while the printer's TCP holds only part of a request too long for its buffers:
// what it acknowledged is not written again, the rest follows on the new connection.
TEST_F(NetworkPrinterTest, ADropMidRequestWritesOnlyWhatTheNetworkDidNotDeliver) {
  PrintedLines paper;
  device_->printer.SetPrintSink(&paper);
  ClaimAndEnable();
  printer_->SetAsyncMode(true);
  constexpr int kParts = 3;
  const size_t mark = device_->ReceivedCount();
  device_->Set("baud 115200");
  ASSERT_EQ(PrintLongReceipt(*printer_, kParts), 0);
  ASSERT_TRUE(Received(mark, LongReceiptLine(100)));
  device_->Set("disconnect");
  device_->Set("baud 0");
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 40000)) << errors_.size();
  platform::PumpMessages(1000);  // anything written again would be printed now
  device_->printer.SetPrintSink(nullptr);
  std::string report;
  EXPECT_EQ(LinesNotPrintedOnce(paper, kParts, report), 0) << report;
  EXPECT_EQ(paper.Total(), kParts * 500);
}

// A synchronous transaction whose answer was lost with the connection: the flush fails, and
// flushing it again does not print what the printer had printed meanwhile.
TEST_F(NetworkPrinterTest, ATransactionFlushedAgainAfterADropPrintsEveryLineOnce) {
  PrintedLines paper;
  device_->printer.SetPrintSink(&paper);
  ClaimAndEnable();
  const size_t mark = device_->ReceivedCount();
  device_->Set("slow 1");  // each byte takes a millisecond: about 0.7 s for the receipt
  ASSERT_EQ(printer_->TransactionPrint(2, 11), 0);
  std::string data;
  for (int line = 1; line <= 30; ++line) data += ReceiptLine('T', line);
  ASSERT_EQ(printer_->PrintNormal(2, data), 0);
  std::thread drop([&] {
    EXPECT_TRUE(PumpUntil([&] {
      return device_->ReceivedSince(mark).find(ReceiptLine('T', 5)) != std::string::npos;
    }, 10000));
    device_->Set("disconnect");
  });
  const int32_t first = printer_->TransactionPrint(2, 12);
  drop.join();
  EXPECT_NE(first, 0);  // its answer went into the dropped connection
  int32_t again = first;
  ASSERT_TRUE(PumpUntil([&] { return (again = printer_->TransactionPrint(2, 12)) == 0; }, 30000))
      << again;
  platform::PumpMessages(1000);  // anything written again would be printed now
  device_->printer.SetPrintSink(nullptr);
  for (int line = 1; line <= 30; ++line) {
    std::string text = ReceiptLine('T', line);
    text.pop_back();
    EXPECT_EQ(paper.Count(text), 1) << text;
  }
}

// While the link cannot reach the printer it is off or offline, and a retry into it waits
// for a status round instead of failing again at once.
TEST_F(NetworkPrinterTest, AnUnreachablePrinterIsReportedOfflineAndRetriesArePaced) {
  ClaimAndEnable(true);
  ASSERT_TRUE(StatusArrives(2001));
  device_->Set("refuse on");
  device_->Set("disconnect");
  EXPECT_TRUE(StatusArrives(2004));
  EXPECT_EQ(printer_->GetPropertyNumber(14), 2004);  // PowerState

  printer_->SetAsyncMode(true);
  ASSERT_EQ(printer_->PrintNormal(2, "Waits for the printer\n"), 0);
  platform::PumpMessages(4000);
  EXPECT_GE(errors_.size(), 1u);
  EXPECT_LE(errors_.size(), 20u);  // a few a second at most

  const size_t mark = device_->ReceivedCount();
  device_->Set("refuse off");
  EXPECT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 20000));
  EXPECT_EQ(Occurrences(device_->ReceivedSince(mark), "Waits for the printer\n"), 1u);
  EXPECT_EQ(statuses_.back(), 2001);
}

// Only an answer to a completion request written in this claim confirms a request: an
// answer the printer sent for something else (a request of an earlier claim, line noise)
// must not report a request complete that the printer holds unprinted.
TEST_F(NetworkPrinterTest, AnAnswerNotAskedForInThisClaimConfirmsNothing) {
  ClaimAndEnable();
  // The printer answers a process identifier request the worker did not write: "0001",
  // the identifier the worker's first request of a claim carries.
  std::string request("\x1D(H\x06\x00" "000001", 11);
  int32_t written = 0;
  ASSERT_EQ(printer_->DirectIO(120, written, request), 0);
  platform::PumpMessages(1000);
  device_->Set("offline");
  printer_->SetAsyncMode(true);
  const size_t mark = device_->ReceivedCount();
  ASSERT_EQ(printer_->PrintNormal(2, "Held while offline\n"), 0);
  ASSERT_TRUE(Received(mark, "Held while offline\n"));
  platform::PumpMessages(2000);
  EXPECT_TRUE(outputs_.empty());
  device_->Set("online");
  EXPECT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 15000));
}

TEST_F(NetworkPrinterTest, StatusBackIsSwitchedOnAgainAfterThePrinterWasOff) {
  ClaimAndEnable(true);
  EXPECT_TRUE(StatusArrives(2001));
  device_->Set("power off");
  EXPECT_TRUE(StatusArrives(2004, 15000));
  device_->Set("power on");
  EXPECT_TRUE(PumpUntil([&] { return statuses_.back() == 2001 && statuses_.size() > 4; }, 15000));
  // The printer forgot automatic status back with its power; the link asked for it again,
  // so the cover still reaches the application.
  device_->Set("cover open");
  EXPECT_TRUE(StatusArrives(11));
}

TEST_F(NetworkPrinterTest, ReleaseReturnsWhileThePrinterIsGoneAndAClaimFailsFast) {
  ClaimAndEnable();
  device_->Set("refuse on");
  device_->Set("disconnect");
  platform::PumpMessages(1000);  // the monitor has noticed and is reconnecting
  uint64_t start = platform::TickCountMs();
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 5000u);

  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  platform::ui::Install(ui);
  start = platform::TickCountMs();
  EXPECT_EQ(printer_->ClaimDevice(5000), opos::kTimeout);
  EXPECT_LT(platform::TickCountMs() - start, 2000u);
  EXPECT_TRUE(ui->Calls().empty());
  platform::ui::Install(nullptr);

  device_->Set("refuse off");
  EXPECT_EQ(printer_->ClaimDevice(1000), 0);
}

TEST_F(NetworkPrinterTest, ASecondPrinterOfTheProcessCannotClaimTheConnection) {
  ClaimAndEnable();
  auto second = OpenPrinter("Net1");
  EXPECT_EQ(second->ClaimDevice(0), opos::kTimeout);
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_EQ(second->ClaimDevice(0), 0);
  EXPECT_EQ(second->Close(), 0);
}

}  // namespace
}  // namespace service_core::testing

namespace service_core::testing {
namespace {

TEST_F(NetworkPrinterTest, RefusalsWithIllegalAreToldInMessageBoxes) {
  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  platform::ui::Install(ui);
  auto texts = [&] {
    std::vector<std::string> seen;
    for (const auto& call : ui->Calls()) seen.push_back(call.caption + ":" + call.text);
    ui->ClearCalls();
    return seen;
  };
  EXPECT_EQ(printer_->ReleaseDevice(), opos::kIllegal);
  EXPECT_EQ(texts(), (std::vector<std::string>{"106:D3"}));
  EXPECT_EQ(printer_->ClaimDevice(-1), opos::kIllegal);
  EXPECT_EQ(texts(), (std::vector<std::string>{"106:D1"}));
  device_->Set("cover open");
  EXPECT_EQ(printer_->ClaimDevice(0), opos::kIllegal);
  EXPECT_EQ(texts(), (std::vector<std::string>{"Receipter Error:Cover Opened!!! Please Check "
                                               "Receipter Printer",
                                               "106:D2"}));
  device_->Set("cover close");
  ClaimAndEnable();
  EXPECT_EQ(printer_->PrintNormal(1, "journal\n"), opos::kIllegal);
  EXPECT_EQ(printer_->CheckHealth(9), opos::kIllegal);
  printer_->SetPropertyNumber(13, 1);  // PowerNotify while enabled
  EXPECT_EQ(texts(), (std::vector<std::string>{"106:D", "106:G", "106:H", "106:D"}));
  EXPECT_EQ(printer_->PrintNormal(2, "fine\n"), 0);
  EXPECT_TRUE(texts().empty());
  platform::ui::Install(nullptr);
}

}  // namespace
}  // namespace service_core::testing
