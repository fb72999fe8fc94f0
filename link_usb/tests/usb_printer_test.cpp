// The USB build's printer through the control object, against the virtual printer
// presented as a fake USB printer: finding it, printing and status, unplugging and
// plugging it in again, and a printer that is not there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "bmp_builder.h"
#include "control_objects/cash_drawer.h"
#include "control_objects/opos_codes.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "printer_fixture.h"
#include "test_support/temp_registry.h"
#include "usb_printer_finder.h"
#include "virtual_devices/usb_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core::testing {
namespace {

using opos::control::POSPrinter;

struct UsbPrinter {
  UsbPrinter(const std::string& root, int index, uint16_t vendor = 0x0525, uint16_t product = 0xa700,
             const std::string& serial = "VP000001")
      : printer(Config()), attachment(printer, Options(root, index, vendor, product, serial)) {
    std::string error;
    EXPECT_TRUE(attachment.Start(error)) << error;
  }
  static vdev::PrinterConfig Config() {
    vdev::PrinterConfig config;
    config.link = vdev::PrinterLink::Usb;
    return config;
  }
  static vdev::UsbOptions Options(const std::string& root, int index, uint16_t vendor,
                                  uint16_t product, const std::string& serial) {
    vdev::UsbOptions options;
    options.serial = serial;
    options.root = root;
    options.index = index;
    options.vendor = vendor;
    options.product = product;
    return options;
  }
  void Set(const std::string& command) {
    std::string reply;
    EXPECT_TRUE(attachment.Command(command, reply)) << command << ": " << reply;
  }
  std::string ReceivedSince(size_t from) const {
    const std::vector<uint8_t> all = printer.Capture();
    return from < all.size() ? std::string(all.begin() + from, all.end()) : std::string();
  }
  size_t ReceivedCount() const { return printer.Capture().size(); }

  vdev::VirtualPrinter printer;
  vdev::UsbAttachment attachment;
};

// The registry, the library and the roots the link searches, all in one temporary place.
class UsbRig {
 public:
  UsbRig() {
    EXPECT_TRUE(test_support::RegisterServerLibrary(PRINTER_SOU_PATH));
    ::setenv("OPOS_USB_SYSFS_ROOT", (Root() + "/sys").c_str(), 1);
    ::setenv("OPOS_USB_DEV_ROOT", (Root() + "/dev").c_str(), 1);
    std::string error;
    const std::string body =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\Usb1]\n"
        "@=\"RecPrinter.POSPrinter.SOU\"\n\"Port\"=\"USB\"\n\"DeviceName\"=\"Thermal42\"\n";
    EXPECT_EQ(platform::registry::ImportRegedit(body, &error), platform::registry::kSuccess)
        << error;
  }
  ~UsbRig() {
    ::unsetenv("OPOS_USB_SYSFS_ROOT");
    ::unsetenv("OPOS_USB_DEV_ROOT");
  }
  std::string Root() const { return registry_.Dir() + "/usb"; }
  const std::string& Dir() const { return registry_.Dir(); }

 private:
  test_support::TempRegistry registry_{"tandor-sou"};
};

TEST(UsbPrinterFinder, OnlyTheVendorsPrintersAreFoundInNumberOrder) {
  UsbRig rig;
  EXPECT_TRUE(FindUsbPrinterNodes().empty());
  UsbPrinter other_vendor(rig.Root(), 0, 0x04b8, 0xa700);
  UsbPrinter other_product(rig.Root(), 1, 0x0525, 0xa701);
  UsbPrinter tenth(rig.Root(), 10);
  UsbPrinter second(rig.Root(), 2);
  EXPECT_EQ(FindUsbPrinterNodes(),
            (std::vector<std::string>{rig.Root() + "/dev/usb/lp2", rig.Root() + "/dev/usb/lp10"}));
  second.Set("disconnect");
  EXPECT_EQ(FindUsbPrinterNodes(), (std::vector<std::string>{rig.Root() + "/dev/usb/lp10"}));
}

// Several identical printers on one till: an entry names its printer by serial number or by
// the stable name udev gives it (/dev/opos/printer-<serial>, a link to the node); an entry
// naming neither takes the first printer, and one naming a printer that is not there finds
// nothing.
TEST(UsbPrinterChoice, EachEntryPrintsOnThePrinterItNames) {
  UsbRig rig;
  UsbPrinter first(rig.Root(), 0, 0x0525, 0xa700, "VP000001");
  UsbPrinter second(rig.Root(), 1, 0x0525, 0xa700, "VP000002");
  const std::string stable = rig.Root() + "/dev/opos/printer-VP000001";
  std::filesystem::create_directories(rig.Root() + "/dev/opos");
  std::filesystem::create_symlink("../usb/lp0", stable);
  auto entry = [](const std::string& key, const std::string& port, const std::string& serial) {
    std::string text =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\" +
        key + "]\n@=\"RecPrinter.POSPrinter.SOU\"\n\"Port\"=\"" + port +
        "\"\n\"DeviceName\"=\"Thermal42\"\n";
    if (!serial.empty()) text += "\"SerialNumber\"=\"" + serial + "\"\n";
    std::string error;
    EXPECT_EQ(platform::registry::ImportRegedit(text, &error), platform::registry::kSuccess)
        << error;
  };
  entry("BySerial", "USB", "VP000002");
  entry("ByStableName", stable, "");
  entry("Missing", "USB", "VP000009");

  auto print = [](const std::string& name, const std::string& line) {
    auto printer = OpenPrinter(name);
    EXPECT_EQ(printer->ClaimDevice(0), 0) << name;
    printer->SetDeviceEnabled(true);
    EXPECT_EQ(printer->PrintNormal(2, line), 0) << name;
    printer->Close();
  };
  auto received = [](UsbPrinter& device, const std::string& what) {
    return PumpUntil([&] { return device.ReceivedSince(0).find(what) != std::string::npos; },
                     10000);
  };
  print("BySerial", "For the second printer\n");
  print("ByStableName", "For the first printer\n");
  print("Usb1", "For whichever is first\n");  // the rig's entry names no printer
  EXPECT_TRUE(received(second, "For the second printer\n"));
  EXPECT_TRUE(received(first, "For the first printer\n"));
  EXPECT_TRUE(received(first, "For whichever is first\n"));
  EXPECT_EQ(first.ReceivedSince(0).find("second"), std::string::npos);
  EXPECT_EQ(second.ReceivedSince(0).find("first"), std::string::npos);

  auto missing = OpenPrinter("Missing");
  EXPECT_EQ(missing->ClaimDevice(0), opos::kTimeout);
  missing->Close();
}

class UsbPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    printer_ = OpenPrinter("Usb1");
    printer_->on_status_update = [this](int32_t s) { statuses_.push_back(s); };
    printer_->on_output_complete = [this](int32_t id) { outputs_.push_back(id); };
  }
  void TearDown() override {
    printer_->Close();
    printer_ = {};
  }
  bool StatusArrives(int32_t status) {
    return PumpUntil(
        [&] { return std::count(statuses_.begin(), statuses_.end(), status) > 0; }, 10000);
  }
  bool Received(size_t from, const std::string& what, uint32_t limit_ms = 10000) {
    return PumpUntil(
        [&] { return device_.ReceivedSince(from).find(what) != std::string::npos; }, limit_ms);
  }
  // A 64 x 32 one-bit BMP in the rig's directory, less its last `cut` bytes; its path.
  std::string WriteBitmap(const std::string& name, size_t cut = 0) {
    print_data::testing::BmpLayout layout;
    layout.width = 64;
    layout.height = 32;
    layout.pixel = [](int32_t x, int32_t y) { return (x + y) % 3 == 0; };
    std::string bmp = print_data::testing::BuildBmp(layout);
    bmp.resize(bmp.size() - cut);
    const std::string path = rig_.Dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bmp;
    return path;
  }

  UsbRig rig_;
  UsbPrinter device_{rig_.Root(), 0};
  opos::control::ObjectRef<POSPrinter> printer_;
  std::vector<int32_t> statuses_, outputs_;
  int errors_ = 0;
};

TEST_F(UsbPrinterTest, PrintsAndReportsStatusWithTheUsbBuildsIdentity) {
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  EXPECT_EQ(printer_->GetPropertyString(1000002), "OLE OPOS POSPrinter");
  EXPECT_EQ(printer_->GetPropertyString(1000004), "OLE OPOS POSPrinter Service Object");
  EXPECT_EQ(printer_->GetPropertyNumber(8), 1003000);
  EXPECT_TRUE(StatusArrives(26));

  const size_t mark = device_.ReceivedCount();
  ASSERT_EQ(printer_->PrintNormal(2, std::string(150, 'u') + "\n"), 0);  // three chunks
  EXPECT_TRUE(Received(mark, std::string(150, 'u') + "\n"));
  printer_->SetAsyncMode(true);
  ASSERT_EQ(printer_->PrintNormal(2, "Queued\n"), 0);
  EXPECT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 10000));

  device_.Set("cover open");
  EXPECT_TRUE(StatusArrives(11));
  device_.Set("cover close");
  EXPECT_TRUE(StatusArrives(12));

  // Answers and status blocks cut across the link's reads are still seen.
  device_.Set("split 3 70");
  for (int i = 1; i <= 3; ++i)
    ASSERT_EQ(printer_->PrintNormal(2, "Piece " + std::to_string(i) + "\n"), 0);
  const uint64_t start = platform::TickCountMs();
  EXPECT_TRUE(PumpUntil([&] { return outputs_.size() == 4; }, 30000));
  EXPECT_LT(platform::TickCountMs() - start, 8000u);
  device_.Set("cover open");
  EXPECT_TRUE(PumpUntil([&] { return std::count(statuses_.begin(), statuses_.end(), 11) == 2; }));
}

TEST_F(UsbPrinterTest, UnpluggedPrinterFailsTheNextWriteAndIsFoundAgainWhenPluggedIn) {
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  ASSERT_EQ(printer_->SetBitmap(1, 2, WriteBitmap("logo.bmp"), -11, -2), 0);
  const std::string download = "\x1D*\x08\x04";

  device_.Set("disconnect");
  uint64_t start = platform::TickCountMs();
  int32_t result = 0;
  // The status may first say the printer is gone; either way printing fails soon.
  while ((result = printer_->PrintNormal(2, "Lost\n")) == 0 &&
         platform::TickCountMs() - start < 5000) {
    platform::PumpMessages(50);
  }
  EXPECT_EQ(result, opos::kFailure);
  EXPECT_LT(platform::TickCountMs() - start, 3000u);

  const size_t mark = device_.ReceivedCount();
  device_.Set("connect");
  start = platform::TickCountMs();
  ASSERT_TRUE(PumpUntil([&] { return printer_->PrintNormal(2, "\x1B|1BBack\n") == 0; }, 10000));
  EXPECT_LT(platform::TickCountMs() - start, 4000u);
  EXPECT_TRUE(Received(mark, "Back\n"));
  const std::string after = device_.ReceivedSince(mark);
  EXPECT_NE(after.find("\x1D\x61\xFF"), std::string::npos);  // status back on again
  EXPECT_LT(after.find(download), after.find("Back\n"));    // the image went down again
  device_.Set("cover open");
  EXPECT_TRUE(StatusArrives(11));
}

// Failures noticed late (a print that failed on the old device while the printer was found
// again) must not close the device opened again nor end the search for it.
TEST_F(UsbPrinterTest, PrintingThroughRepeatedUnpluggingAlwaysFindsThePrinterAgain) {
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  for (int round = 0; round < 4; ++round) {
    device_.Set("disconnect");
    // Unplugged for a different time each round, so the prints fall on different moments of
    // the search.
    const uint64_t unplugged = platform::TickCountMs();
    while (platform::TickCountMs() - unplugged < 200u + 250u * round) {
      printer_->PrintNormal(2, "x\n");
      platform::PumpMessages(1);
    }
    device_.Set("connect");
    const size_t mark = device_.ReceivedCount();
    const std::string line = "Round " + std::to_string(round) + "\n";
    ASSERT_TRUE(PumpUntil([&] { return printer_->PrintNormal(2, line) == 0; }, 8000))
        << "round " << round;
    EXPECT_TRUE(Received(mark, line));
  }
}

std::string UsbReceiptLine(char receipt, int line) {
  char text[32];
  std::snprintf(text, sizeof text, "Usb receipt %c line %02d\n", receipt, line);
  return text;
}

// Unplugged while the printer works through its buffer, it comes back off or offline, and
// after the replug what it printed is not written again: every line once, both complete.
TEST_F(UsbPrinterTest, AnUnpluggedPrinterIsOfflineAndNothingItPrintedIsWrittenAgain) {
  printer_->on_error = [this](int32_t, int32_t, int32_t, int32_t& response) {
    ++errors_;
    response = opos::kErRetry;
  };
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetPropertyNumber(13, 1);  // PowerNotify
  printer_->SetDeviceEnabled(true);
  ASSERT_TRUE(StatusArrives(2001));
  printer_->SetAsyncMode(true);
  const size_t mark = device_.ReceivedCount();
  device_.Set("baud 9600");  // about a millisecond a byte
  for (const char receipt : {'A', 'B'}) {
    std::string data;
    for (int line = 1; line <= 35; ++line) data += UsbReceiptLine(receipt, line);
    ASSERT_EQ(printer_->PrintNormal(2, data), 0);
  }
  ASSERT_TRUE(Received(mark, UsbReceiptLine('A', 5)));
  device_.Set("disconnect");
  EXPECT_TRUE(StatusArrives(2004));
  EXPECT_EQ(printer_->GetPropertyNumber(14), 2004);  // PowerState
  platform::PumpMessages(2000);
  EXPECT_LE(errors_, 10);  // retries wait for a status round
  device_.Set("baud 0");
  device_.Set("connect");
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 2; }, 40000));
  platform::PumpMessages(1000);  // anything written again would arrive now
  EXPECT_EQ(outputs_, (std::vector<int32_t>{1, 2}));
  const std::string printed = device_.ReceivedSince(mark);
  for (const char receipt : {'A', 'B'}) {
    for (int line = 1; line <= 35; ++line)
      EXPECT_EQ(Occurrences(printed, UsbReceiptLine(receipt, line)), 1u) << UsbReceiptLine(receipt, line);
  }
}

// The cable pulled while the host is still writing a request larger than the device takes
// at once: what the device took is not written again, the rest follows after the replug,
// and the paper shows every line once.
TEST_F(UsbPrinterTest, ACablePulledMidRequestPrintsEveryLineOnce) {
  PrintedLines paper;
  device_.printer.SetPrintSink(&paper);
  printer_->on_error = [this](int32_t, int32_t, int32_t, int32_t& response) {
    ++errors_;
    response = opos::kErRetry;
  };
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  printer_->SetAsyncMode(true);
  constexpr int kParts = 3;
  const size_t mark = device_.ReceivedCount();
  device_.Set("baud 115200");
  ASSERT_EQ(PrintLongReceipt(*printer_, kParts), 0);
  ASSERT_TRUE(Received(mark, LongReceiptLine(100)));
  device_.Set("disconnect");
  const size_t reached = device_.ReceivedSince(mark).size();
  ASSERT_LT(reached, kParts * 20000u);  // cut mid-request
  device_.Set("baud 0");
  device_.Set("connect");
  ASSERT_TRUE(PumpUntil([&] { return outputs_.size() == 1; }, 40000));
  platform::PumpMessages(1000);  // anything written again would be printed now
  device_.printer.SetPrintSink(nullptr);
  EXPECT_GE(errors_, 1);
  std::string report;
  EXPECT_EQ(LinesNotPrintedOnce(paper, kParts, report), 0)
      << report << "the device had taken " << reached << " bytes at the unplug";
  EXPECT_EQ(paper.Total(), kParts * 500);
}

// The same printing synchronously: the flush cut off by the pulled cable fails, and the next
// flush writes only what the device had not taken.
TEST_F(UsbPrinterTest, ATransactionCutOffByThePulledCableIsFinishedByTheNextFlush) {
  PrintedLines paper;
  device_.printer.SetPrintSink(&paper);
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  constexpr int kParts = 3;
  const size_t mark = device_.ReceivedCount();
  device_.Set("baud 115200");
  std::thread unplug([&] {
    EXPECT_TRUE(PumpUntil(
        [&] { return device_.ReceivedSince(mark).find(LongReceiptLine(100)) != std::string::npos; },
        10000));
    device_.Set("disconnect");
  });
  const int32_t first = PrintLongReceipt(*printer_, kParts);
  unplug.join();
  EXPECT_NE(first, 0);
  const size_t reached = device_.ReceivedSince(mark).size();
  ASSERT_LT(reached, kParts * 20000u);  // cut mid-flush
  device_.Set("baud 0");
  device_.Set("connect");
  int32_t again = first;
  ASSERT_TRUE(PumpUntil([&] { return (again = printer_->TransactionPrint(2, 12)) == 0; }, 30000))
      << again;
  platform::PumpMessages(1000);  // anything written again would be printed now
  device_.printer.SetPrintSink(nullptr);
  std::string report;
  EXPECT_EQ(LinesNotPrintedOnce(paper, kParts, report), 0)
      << report << "the device had taken " << reached << " bytes at the unplug";
  EXPECT_EQ(paper.Total(), kParts * 500);
}

TEST_F(UsbPrinterTest, ReleaseReturnsWhileUnpluggedAndAClaimWithoutPrinterTimesOut) {
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  device_.Set("disconnect");
  const std::string lost = "x\n";
  printer_->PrintNormal(2, lost);  // starts the search for the device
  uint64_t start = platform::TickCountMs();
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 3000u);

  start = platform::TickCountMs();
  EXPECT_EQ(printer_->ClaimDevice(0), opos::kTimeout);
  EXPECT_GE(platform::TickCountMs() - start, 3000u);  // raised to the 3000 ms minimum
  device_.Set("connect");
  EXPECT_EQ(printer_->ClaimDevice(3000), 0);
}

TEST_F(UsbPrinterTest, ShortBitmapFilesFailAndErrorsPauseAndReleaseDiscards) {
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  // The last rows of pixels are missing.
  EXPECT_EQ(printer_->SetBitmap(1, 2, WriteBitmap("cut.bmp", 40), -11, -2), opos::kFailure);
  EXPECT_EQ(printer_->SetBitmap(1, 2, rig_.Dir() + "/missing.bmp", -11, -2), opos::kIllegal);

  // The worker pauses a second after each answered error before it looks again.
  std::vector<uint64_t> error_times;
  printer_->on_error = [&](int32_t, int32_t, int32_t, int32_t& response) {
    error_times.push_back(platform::TickCountMs());
    response = opos::kErRetry;
  };
  device_.Set("cover open");
  ASSERT_TRUE(StatusArrives(11));
  printer_->SetAsyncMode(true);
  ASSERT_EQ(printer_->PrintNormal(2, "Queued\n"), 0);
  ASSERT_TRUE(PumpUntil([&] { return error_times.size() >= 2; }, 10000));
  EXPECT_GE(error_times[1] - error_times[0], 1000u);

  // Release does not ask about errors met while it waits: the queued output goes.
  const size_t errors_before = error_times.size();
  const size_t mark = device_.ReceivedCount();
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(printer_->ReleaseDevice(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 5000u);
  EXPECT_LE(error_times.size(), errors_before + 1);  // at most one already on its way
  device_.Set("cover close");
  platform::PumpMessages(1000);
  EXPECT_EQ(device_.ReceivedSince(mark).find("Queued"), std::string::npos);
}

// The drawer alone on the device (the printer object is open, not claimed): an offline
// printer answers its query with 1A / 1E, which refuses the kick and still tells the level.
TEST_F(UsbPrinterTest, TheDrawerAloneRefusesTheKickIntoAnOfflinePrinterAndReadsItsLevel) {
  std::string error;
  ASSERT_EQ(platform::registry::ImportRegedit(
                "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer\\"
                "UsbDrawer]\n@=\"Standard.CashDrawer.SOU\"\n\"Port\"=\"USB\"\n"
                "\"DeviceName\"=\"Standard_StandardU\"\n\"ConnectorPinNo\"=dword:00000002\n",
                &error),
            platform::registry::kSuccess)
      << error;
  auto drawer = opos::control::CashDrawer::Create();
  ASSERT_EQ(drawer->Open("UsbDrawer"), 0);
  std::vector<int32_t> events;
  drawer->on_status_update = [&](int32_t s) { events.push_back(s); };
  ASSERT_EQ(drawer->ClaimDevice(0), 0);
  drawer->SetDeviceEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return events.size() == 1; }));

  device_.Set("cover open");
  platform::PumpMessages(1200);
  const size_t mark = device_.ReceivedCount();
  EXPECT_EQ(drawer->OpenDrawer(), opos::kIllegal);
  EXPECT_EQ(device_.ReceivedSince(mark).find("\x1B\x70\x30"), std::string::npos);
  device_.Set("drawer open");
  EXPECT_TRUE(PumpUntil([&] { return !events.empty() && events.back() == 1; }, 4000));
  for (int i = 0; i < 4; ++i) {
    platform::PumpMessages(300);
    EXPECT_TRUE(drawer->DrawerOpened());
  }
  device_.Set("drawer close");
  EXPECT_TRUE(PumpUntil([&] { return events.back() == 0; }, 4000));
  device_.Set("cover close");
  EXPECT_TRUE(PumpUntil([&] { return drawer->OpenDrawer() == 0; }, 4000));
  EXPECT_TRUE(device_.printer.Status().drawer_open);
  EXPECT_EQ(drawer->Close(), 0);
}

TEST_F(UsbPrinterTest, TheDrawerSharesTheDeviceWithTheUsbBuildsIdentity) {
  std::string error;
  ASSERT_EQ(platform::registry::ImportRegedit(
                "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer\\"
                "UsbDrawer]\n@=\"Standard.CashDrawer.SOU\"\n\"Port\"=\"USB\"\n"
                "\"DeviceName\"=\"Standard_StandardU\"\n\"ConnectorPinNo\"=dword:00000005\n",
                &error),
            platform::registry::kSuccess)
      << error;
  ASSERT_EQ(printer_->ClaimDevice(0), 0);
  printer_->SetDeviceEnabled(true);
  auto drawer = opos::control::CashDrawer::Create();
  ASSERT_EQ(drawer->Open("UsbDrawer"), 0);
  ASSERT_EQ(drawer->ClaimDevice(0), 0);
  EXPECT_EQ(drawer->GetPropertyString(1000002), "Tandor OPOS Cash Drawer");
  EXPECT_EQ(drawer->GetPropertyString(1000003), "Tandor.CashDrawer.SOU");
  EXPECT_EQ(drawer->GetPropertyString(1000004), "Tandor OPOS Cash Drawer Service Object");
  const size_t mark = device_.ReceivedCount();
  EXPECT_EQ(drawer->OpenDrawer(), 0);
  EXPECT_NE(device_.ReceivedSince(mark).find("\x1B\x70\x31\x64\xC8"), std::string::npos);
  EXPECT_EQ(drawer->Close(), 0);
  EXPECT_EQ(printer_->PrintNormal(2, "After the drawer\n"), 0);
  EXPECT_TRUE(Received(mark, "After the drawer\n"));
}

}  // namespace
}  // namespace service_core::testing
