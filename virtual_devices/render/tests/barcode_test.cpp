#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "render_test_support.h"
#include "virtual_devices/barcode_symbol.h"
#include "virtual_devices/receipt_renderer.h"

namespace vdev {
namespace {

constexpr const char* kZbarimg = "/usr/bin/zbarimg";

// What a barcode scanner reads from the PNG: "TYPE:data" lines.
std::string Scan(const std::string& png) {
  std::string out;
  FILE* pipe = popen((std::string(kZbarimg) + " --quiet '" + png + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 256> buffer;
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) out += buffer.data();
  pclose(pipe);
  return out;
}

class BarcodeScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kZbarimg, X_OK) != 0) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
  }

  // Prints a receipt with a line of text, the barcode and a picture, and scans its PNG.
  std::string PrintAndScan(const Barcode& barcode) {
    RendererOptions options;
    options.png_directory = dir_.path();
    ReceiptRenderer renderer(options);
    renderer.Print(test::Line("Thank you"));
    renderer.Print(barcode);
    renderer.Print(test::Checkerboard(64, 24));
    renderer.Print(Cut{});
    const auto receipts = renderer.Receipts();
    if (receipts.empty() || receipts[0].png_path.empty()) return "no PNG written";
    return Scan(receipts[0].png_path);
  }

  test::TempDir dir_;
};

Barcode Code(uint8_t system, std::string data, int module = 3) {
  Barcode barcode;
  barcode.system = system;
  barcode.data = std::move(data);
  barcode.module_width = module;
  barcode.height = 80;
  barcode.hri_position = 2;
  barcode.alignment = Alignment::Center;
  return barcode;
}

TEST_F(BarcodeScanTest, PrintedBarsScanBackToTheirData) {
  EXPECT_EQ(PrintAndScan(Code(73, "{B12345")), "CODE-128:12345\n");
  EXPECT_EQ(PrintAndScan(Code(73, "{AORDER-42", 2)), "CODE-128:ORDER-42\n");
  // In code set C every byte carries two digits.
  EXPECT_EQ(PrintAndScan(Code(73, std::string("{C") + char(12) + char(34) + char(5))),
            "CODE-128:123405\n");
  EXPECT_EQ(PrintAndScan(Code(67, "400638133393")), "EAN-13:4006381333931\n");
  EXPECT_EQ(PrintAndScan(Code(67, "4006381333931")), "EAN-13:4006381333931\n");
  // Scanners report UPC-A as the EAN-13 it is a part of.
  EXPECT_EQ(PrintAndScan(Code(65, "03600029145")), "EAN-13:0036000291452\n");
  EXPECT_EQ(PrintAndScan(Code(68, "9638507")), "EAN-8:96385074\n");
  EXPECT_EQ(PrintAndScan(Code(69, "ABC-123", 2)), "CODE-39:ABC-123\n");
  EXPECT_EQ(PrintAndScan(Code(70, "12345678")), "I2/5:12345678\n");
}

TEST_F(BarcodeScanTest, UpcENumbersGivenInUpcAFormAreCompressed) {
  // 0 12000 00345 compresses to the six digits 123450 (manufacturer ending 000): 51
  // modules of UPC-E instead of the 95 of UPC-A, read back as the full number.
  EXPECT_EQ(EncodeBarcode(66, "01200000345").modules.size(), 51u);
  EXPECT_EQ(PrintAndScan(Code(66, "01200000345")), "EAN-13:0012000003455\n");
  EXPECT_EQ(PrintAndScan(Code(66, "012000003455")), "EAN-13:0012000003455\n");
}

TEST(BarcodeSymbolTest, PrinterDataRulesAreEnforced) {
  EXPECT_NE(EncodeBarcode(73, "12345").error, "");   // no code set selector
  EXPECT_NE(EncodeBarcode(73, "{C\x64").error, "");  // 100 is not a pair of digits
  EXPECT_NE(EncodeBarcode(73, "{Aabc").error, "");   // lower case is not in code set A
  EXPECT_EQ(EncodeBarcode(73, "{B{{x").hri, "{x");   // "{{" is a literal brace
  EXPECT_NE(EncodeBarcode(67, "40063813339X").error, "");
  EXPECT_NE(EncodeBarcode(67, "4006381333932").error, "");  // wrong check digit
  EXPECT_NE(EncodeBarcode(70, "123").error, "");            // ITF needs pairs
  EXPECT_NE(EncodeBarcode(66, "11200000345").error, "");    // UPC-E needs number system 0
  EXPECT_NE(EncodeBarcode(66, "01234567890").error, "");    // no UPC-E form
  EXPECT_NE(EncodeBarcode(99, "1").error, "");
  EXPECT_EQ(EncodeBarcode(4, "AB").error, "");  // GS k m in the 0..6 form
  EXPECT_EQ(BarcodeSystemName(4), "CODE39");
}

TEST(BarcodeLayoutTest, ModuleWidthHeightAndHumanReadableText) {
  const BarcodeSymbol symbol = EncodeBarcode(73, "{B12345");
  ASSERT_EQ(symbol.error, "");
  const int modules = static_cast<int>(symbol.modules.size());
  auto render = [](const Barcode& barcode) {
    ReceiptRenderer renderer(RendererOptions{});
    renderer.Print(barcode);
    renderer.Finish();
    return renderer.Receipts().at(0);
  };
  Barcode barcode = Code(73, "{B12345", 2);
  barcode.hri_position = 0;
  barcode.alignment = Alignment::Left;
  const Raster::Box bars = render(barcode).image.InkBox();
  EXPECT_EQ(bars.width, 2 * modules);
  EXPECT_EQ(bars.height, 80);
  EXPECT_EQ(bars.x, ReceiptRenderer::kSideMargin);

  barcode.hri_position = 3;  // text above and below, in font B
  barcode.hri_font = 1;
  const RenderedReceipt both = render(barcode);
  const Raster::Box all = both.image.InkBox();
  EXPECT_GE(all.height, 80 + 2 * 12);
  EXPECT_LE(all.height, 80 + 2 * (17 + 2));
  EXPECT_EQ(both.transcript, "[barcode CODE128 \"{B12345\" hri above and below]\n");

  // Too wide for the line: the printer leaves it out, and the transcript says so.
  barcode.module_width = 6;
  barcode.data = "{B" + std::string(40, 'W');
  const RenderedReceipt wide = render(barcode);
  EXPECT_EQ(wide.image.CountInk(Ink::Black), 0);
  EXPECT_NE(wide.transcript.find("not printed: wider than the line"), std::string::npos);
  barcode.data = "{A{Z1";
  EXPECT_NE(render(barcode).transcript.find("not printed: CODE128 selector {Z"), std::string::npos);
}

}  // namespace
}  // namespace vdev
