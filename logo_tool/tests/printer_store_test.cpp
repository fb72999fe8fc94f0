// Storing logos in the virtual printer through the control object, printing them by their
// number, the refusals when they do not fit, and the BMP printed through PrintBitmap.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "logo_conversion.h"
#include "paper_preview.h"
#include "picture_reader.h"
#include "test_support/process.h"
#include "printer_fixture.h"
#include "printer_store.h"
#include "test_pictures.h"
#include "virtual_devices/receipt_renderer.h"

namespace imprex::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using service_core::testing::PrinterRig;
using service_core::testing::PumpUntil;
using service_core::testing::VirtualPrinterOnPty;

// DirectIO 111 with PTR_BM_CENTER and logo 1: ESC a 1, FS p 1 0, LF.
const Bytes kPrintLogo1Centred = {0x1B, 0x61, 0x31, 0x1C, 0x70, 0x01, 0x30, 0x0A};

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}
Bytes ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

MonoLogo PhotoLogo(int width, DitherMethod method = DitherMethod::kAtkinson) {
  ConvertOptions options;
  options.width = width;
  options.method = method;
  Conversion c = ConvertPicture(SyntheticPhoto(), options);
  EXPECT_TRUE(c.ok());
  return c.logo;
}

struct Printer {
  Printer(PrinterRig& rig, const std::string& name, const std::string& logical,
          vdev::PrinterConfig config = {}) {
    device = &rig.AddVirtualPrinter(name, config);
    vdev::RendererOptions options;
    options.paper = device->printer.Geometry();
    renderer = std::make_unique<vdev::ReceiptRenderer>(options);
    device->printer.SetPrintSink(renderer.get());
    rig.AddDeviceEntry("Key" + logical, device->attachment.LinkPath(), "Thermal42", "", logical);
  }
  ~Printer() { device->printer.SetPrintSink(nullptr); }
  VirtualPrinterOnPty* device = nullptr;
  std::unique_ptr<vdev::ReceiptRenderer> renderer;
};

class ImprexStoreTest : public ::testing::Test {
 protected:
  PrinterRig rig_;
  Printer printer_{rig_, "ttyP0", "Unit1"};
};

TEST_F(ImprexStoreTest, TheLogoReachesThePrinterWholeAndPrintsByItsNumberAsPreviewed) {
  const MonoLogo logo = PhotoLogo(300);
  const StoreReport report = StoreLogos("Unit1", {logo});
  ASSERT_TRUE(report.ok) << report.message.toStdString();
  EXPECT_NE(report.message.indexOf("Stored 1 logo (7600 bytes of NV memory) in \"Unit1\""), -1)
      << report.message.toStdString();

  Bytes store_then_print = ToBytes(BuildNvStoreCommand({logo}).bytes);
  store_then_print.insert(store_then_print.end(), kPrintLogo1Centred.begin(), kPrintLogo1Centred.end());
  EXPECT_TRUE(PumpUntil(
      [&] { return Contains(printer_.device->printer.Capture(), store_then_print); }, 10000));

  // The check print, cut: on paper exactly as the window's preview draws it.
  ASSERT_TRUE(PumpUntil([&] { return printer_.renderer->ReceiptCount() == 1; }, 10000));
  const vdev::Raster paper = printer_.renderer->Receipts().front().image;
  const QImage preview = PaperWithLogo(logo, 512);
  ASSERT_EQ(paper.width(), preview.width());
  int differences = 0;
  for (int y = 0; y < preview.height(); ++y)
    for (int x = 0; x < preview.width(); ++x)
      differences += (paper.At(x, y) == vdev::Ink::Black) != (qGray(preview.pixel(x, y)) < 128);
  EXPECT_EQ(differences, 0);
  EXPECT_NE(printer_.renderer->Transcript().find("The logo is stored"), std::string::npos);
}

TEST_F(ImprexStoreTest, LogosLargerThanTheMemoryAreRefusedBeforeAnythingIsSent) {
  // Two full-width logos 2304 dots tall: 2 x 147 456 bytes, more than 256 KiB.
  MonoLogo tall;
  tall.width = 512;
  tall.height = 2304;
  tall.dots.assign(size_t(512) * 2304, 1);
  const size_t before = printer_.device->printer.Capture().size();
  StoreReport report = StoreLogos("Unit1", {tall, tall});
  EXPECT_FALSE(report.ok);
  EXPECT_NE(report.message.indexOf("need 294912 bytes of NV memory; the printer has 262144. "
                                   "Nothing was sent"),
            -1)
      << report.message.toStdString();
  tall.height = 2305;
  report = StoreLogos("Unit1", {tall});
  EXPECT_FALSE(report.ok);
  EXPECT_NE(report.message.indexOf("at most 8184 x 2304 dots"), -1) << report.message.toStdString();
  EXPECT_EQ(printer_.device->printer.Capture().size(), before);

  report = StoreLogos("NoSuchPrinter", {PhotoLogo(64)});
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.message, "No printer is set up under the name \"NoSuchPrinter\".");
}

// The printer's trouble is named as the technician sees it, with what to do, and nothing
// is stored; once it is mended the same store goes through.
TEST_F(ImprexStoreTest, PrinterTroubleIsNamedWithWhatToDo) {
  struct Case {
    const char* set;
    const char* reset;
    const char* message;
  };
  const Case cases[] = {
      {"cover open", "cover close",
       "Cannot claim the printer \"Unit1\": the printer's cover is open. Close the cover, then "
       "try again."},
      {"paper out", "paper in",
       "Cannot claim the printer \"Unit1\": the printer is out of paper. Put in a new paper "
       "roll and close the cover, then try again."},
      {"power off", "power on",
       "Cannot claim the printer \"Unit1\": the printer is off or not answering. Check that it "
       "is switched on and that its cable is plugged in, then try again."},
      {"answers off", "answers on",
       "Cannot claim the printer \"Unit1\": the printer is off or not answering. Check that it "
       "is switched on and that its cable is plugged in, then try again."},
  };
  StoreOptions options;
  options.claim_timeout_ms = 1000;
  options.print_check = false;
  const MonoLogo logo = PhotoLogo(64);
  for (const Case& c : cases) {
    printer_.device->Set(c.set);
    const StoreReport report = StoreLogos("Unit1", {logo}, options);
    EXPECT_FALSE(report.ok) << c.set;
    EXPECT_EQ(report.message.toStdString(), c.message);
    printer_.device->Set(c.reset);
  }
  EXPECT_EQ(printer_.device->printer.DecodedLog().find("FS q"), std::string::npos);

  // The printer held by another claim.
  auto holder = service_core::testing::OpenPrinter("Unit1");
  ASSERT_EQ(holder->ClaimDevice(1000), 0);
  StoreReport report = StoreLogos("Unit1", {logo}, options);
  EXPECT_EQ(report.message.toStdString(),
            "Cannot claim the printer \"Unit1\": another program is using the printer, or its "
            "port cannot be opened. Close the other program, or check the port in Confix, then "
            "try again.");
  holder->Close();

  report = StoreLogos("Unit1", {logo}, options);
  EXPECT_TRUE(report.ok) << report.message.toStdString();
}

TEST_F(ImprexStoreTest, APrinterWithLessMemoryIgnoresTheLogoAndKeepsItsOwn) {
  vdev::PrinterConfig small;
  small.nv_memory_bytes = 4096;
  Printer limited(rig_, "ttyP1", "Limited", small);
  StoreOptions options;
  options.nv_capacity = 1 << 20;  // told more than the printer has
  const StoreReport report = StoreLogos("Limited", {PhotoLogo(300)}, options);
  EXPECT_TRUE(report.ok) << report.message.toStdString();  // the printer does not say
  EXPECT_NE(limited.device->printer.DecodedLog().find("larger than the NV memory, ignored"),
            std::string::npos);
  // The check print shows the logo the printer kept: the factory logo, 192 x 64.
  ASSERT_TRUE(PumpUntil([&] { return limited.renderer->ReceiptCount() == 1; }, 10000));
  EXPECT_NE(limited.renderer->Transcript().find("FS p 1"), std::string::npos);
  const vdev::Raster paper = limited.renderer->Receipts().front().image;
  const auto box = paper.InkBox(0, 0, paper.width(), 8 + 64);  // above the caption
  EXPECT_EQ(box.width, 192);
  EXPECT_EQ(box.height, 64);
}

TEST_F(ImprexStoreTest, FromAPngOnTheCommandLineIntoThePrinterAndThroughPrintBitmap) {
  QTemporaryDir dir;
  const QString png = dir.filePath("shop.png"), bmp = dir.filePath("shop.bmp");
  ASSERT_TRUE(WriteFile(png, Encode(SyntheticPhoto(600, 200), "png")));
  // Through the shell (popen), as the tester's tests run it: this process has threads, and
  // a plain fork of it is not something the thread sanitizer supports.
  auto run = [&](const QStringList& arguments, QString& out) {
    std::string command = "OPOS_REGISTRY='" + rig_.RegistryPath() + "' '" + IMPREX_PATH + "'";
    for (const QString& a : arguments) command += " '" + a.toStdString() + "'";
    const test_support::CommandRun run = test_support::RunCommand(command);
    out = QString::fromStdString(run.output);
    return run.exit_code;
  };
  QString out;
  ASSERT_EQ(run({"store", "Unit1", png, "--width", "256", "--dither", "bayer"}, out), 0)
      << out.toStdString();
  EXPECT_NE(out.indexOf("Stored 1 logo"), -1) << out.toStdString();
  // The same picture converted here gives the very bytes the printer received.
  ConvertOptions options;
  options.width = 256;
  options.method = DitherMethod::kOrdered;
  const MonoLogo logo = ConvertPicture(ReadPictureFile(png).image, options).logo;
  EXPECT_EQ(logo.height, 85);
  const Bytes store = ToBytes(BuildNvStoreCommand({logo}).bytes);
  EXPECT_TRUE(PumpUntil([&] { return Contains(printer_.device->printer.Capture(), store); }, 10000));
  ASSERT_TRUE(PumpUntil([&] { return printer_.renderer->ReceiptCount() == 1; }, 10000));

  ASSERT_EQ(run({"convert", png, bmp, "--width", "256", "--dither", "bayer"}, out), 0)
      << out.toStdString();
  auto control = service_core::testing::OpenPrinter("Unit1");
  ASSERT_EQ(control->ClaimDevice(3000), 0);
  control->SetDeviceEnabled(true);
  control->SetRecLetterQuality(true);
  EXPECT_EQ(control->PrintBitmap(2, bmp.toStdString(), -11, -2), 0);
  EXPECT_EQ(control->CutPaper(100), 0);
  ASSERT_TRUE(PumpUntil([&] { return printer_.renderer->ReceiptCount() == 2; }, 10000));
  control->Close();
  const vdev::Raster paper = printer_.renderer->Receipts().back().image;
  size_t dots = 0;
  for (uint8_t d : logo.dots) dots += d;
  size_t printed = 0;  // above the cut mark
  for (int y = 0; y < 8 + logo.height; ++y)
    for (int x = 0; x < paper.width(); ++x) printed += paper.At(x, y) == vdev::Ink::Black;
  EXPECT_EQ(printed, dots);
  EXPECT_LE(paper.InkBox(0, 0, paper.width(), 8 + logo.height).width, 256);

  ASSERT_EQ(run({"store", "Nowhere", png}, out), 1);
  EXPECT_NE(out.indexOf("No printer is set up under the name \"Nowhere\""), -1) << out.toStdString();
  printer_.device->Set("cover open");
  ASSERT_EQ(run({"store", "Unit1", png}, out), 1);
  EXPECT_NE(out.indexOf("the printer's cover is open. Close the cover, then try again."), -1)
      << out.toStdString();
}

}  // namespace
}  // namespace imprex::testing
