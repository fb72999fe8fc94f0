#include "print_data/bitmap_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "bmp_builder.h"

namespace print_data {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;

MonoBitmap Image(
    int32_t width, int32_t height,
    std::function<bool(int32_t, int32_t)> pixel = [](int32_t, int32_t) { return true; }) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixel = std::move(pixel);
  BmpReadResult read = ReadBmp(BuildBmp(layout));
  EXPECT_TRUE(read.ok());
  return read.image;
}

BitmapRequest Thermal(int32_t width) {
  BitmapRequest request;
  request.width = width;
  return request;
}

BitmapRequest DotMatrix(int32_t width) {
  BitmapRequest request;
  request.kind = PrinterKind::kDotMatrix;
  request.width = width;
  request.rec_line_width = 396;
  return request;
}

TEST(BitmapSize, ThermalAndDotMatrixTargets) {
  const auto thermal = PrinterKind::kThermal;
  TargetSize small = ComputeTargetSize(thermal, 200, 1, 0, 384, 100);
  EXPECT_EQ(small.width, 198);
  EXPECT_EQ(small.height, 52);  // 100 x 99 x 2 / 384 = 51.6
  EXPECT_TRUE(small.normal_quality);
  TargetSize large = ComputeTargetSize(thermal, 400, 1, 0, 384, 100);
  EXPECT_EQ(large.width, 199);
  EXPECT_FALSE(large.normal_quality);
  EXPECT_TRUE(ComputeTargetSize(thermal, kBitmapAsIs, 1, 1, 384, 100).normal_quality);
  EXPECT_FALSE(ComputeTargetSize(thermal, kBitmapAsIs, 1, 0, 384, 100).normal_quality);
  // 200 dots as 0.01 mm: m = 1409 x 0.0709 = 99.9.
  EXPECT_EQ(ComputeTargetSize(thermal, 2820, 4, 0, 384, 100).width, 100);
  EXPECT_EQ(ComputeTargetSize(thermal, 3, 1, 0, 384, 100).width, 0);

  const auto dot_matrix = PrinterKind::kDotMatrix;
  TargetSize as_is = ComputeTargetSize(dot_matrix, kBitmapAsIs, 1, 0, 300, 41);
  EXPECT_EQ(as_is.width, 300);
  EXPECT_EQ(as_is.height, 21);
  TargetSize scaled = ComputeTargetSize(dot_matrix, 151, 1, 0, 300, 40);
  EXPECT_EQ(scaled.width, 150);
  EXPECT_EQ(scaled.height, 10);
}

TEST(BitmapImage, ColumnLayoutAndNearestNeighbour) {
  // One diagonal dot per row in a 3 x 10 image.
  const MonoBitmap image = Image(3, 10, [](int32_t x, int32_t y) { return x == y % 3; });
  const std::string columns = BuildColumnImage(image, {3, 10, true}, 4, 2);
  EXPECT_EQ(columns, std::string("\x92\x40\x49\x00\x24\x80\x00\x00", 8));
  // Halving picks the source pixel under each target dot's centre: columns 1 and 3 of 4.
  const MonoBitmap stripes = Image(4, 1, [](int32_t x, int32_t) { return x % 2 == 1; });
  EXPECT_EQ(BuildColumnImage(stripes, {2, 1, true}, 2, 1), "\x80\x80");
  EXPECT_EQ(BuildColumnImage(stripes, {8, 1, true}, 8, 1),
            std::string("\0\0\x80\x80\0\0\x80\x80", 8));
}

TEST(PrintBitmap, ThermalCommands) {
  const MonoBitmap image = Image(384, 16);
  BitmapPrint print = BuildPrintBitmap(Thermal(200), image);
  ASSERT_TRUE(print.ok());
  EXPECT_TRUE(print.overwrites_download_area);
  ASSERT_EQ(print.handovers.size(), 2u);
  const std::string& download = print.handovers[0].bytes;
  EXPECT_EQ(download.substr(0, 4), "\x1D\x2A\x19\x01");  // 25 byte columns, 8 dots high
  ASSERT_EQ(download.size(), 4u + 25 * 8);
  EXPECT_EQ(static_cast<uint8_t>(download[4 + 197]), 0xFF);  // last of the 198 dot columns
  EXPECT_EQ(download[4 + 198], 0);
  EXPECT_TRUE(print.handovers[0].more_follows);
  EXPECT_EQ(print.handovers[1].bytes, "\x1B\x61\x31\x1D\x2F\x30\x1B\x61\x30");
  EXPECT_FALSE(print.handovers[1].more_follows);

  BitmapRequest quadruple = Thermal(400);
  quadruple.alignment = -3;
  EXPECT_EQ(BuildPrintBitmap(quadruple, image).handovers[1].bytes,
            "\x1B\x61\x32\x1D\x2F\x33\x1B\x61\x30");
  BitmapRequest letter = Thermal(kBitmapAsIs);
  letter.rec_letter_quality = 1;
  letter.alignment = -1;
  EXPECT_EQ(BuildPrintBitmap(letter, image).handovers[1].bytes,
            "\x1B\x61\x30\x1D\x2F\x30\x1B\x61\x30");
}

TEST(PrintBitmap, DotMatrixCommands) {
  const MonoBitmap image = Image(300, 20);
  BitmapPrint print = BuildPrintBitmap(DotMatrix(kBitmapAsIs), image);
  ASSERT_TRUE(print.ok());
  EXPECT_FALSE(print.overwrites_download_area);
  // Alignment and spacing, two bands of 10 rows (each a bit image and a line feed), spacing.
  ASSERT_EQ(print.handovers.size(), 6u);
  EXPECT_EQ(print.handovers[0].bytes, "\x1B\x61\x31\x1B\x33\x10");
  EXPECT_EQ(print.handovers[1].bytes.substr(0, 5), "\x1B\x2A\x01\x2C\x01");
  EXPECT_EQ(print.handovers[1].bytes.size(), 5u + 300);
  EXPECT_EQ(static_cast<uint8_t>(print.handovers[1].bytes[5]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(print.handovers[3].bytes[5]), 0xC0);  // rows 8 and 9
  EXPECT_EQ(print.handovers[2].bytes, "\n");
  EXPECT_EQ(print.handovers[5].bytes, "\x1B\x33\x19\x1B\x61\x30");
  for (size_t i = 0; i + 1 < print.handovers.size(); ++i)
    EXPECT_TRUE(print.handovers[i].more_follows);
  EXPECT_FALSE(print.handovers.back().more_follows);

  EXPECT_EQ(BuildPrintBitmap(DotMatrix(100), image).handovers[1].bytes.substr(3, 2),
            std::string("\x63\x00", 2));
}

TEST(PrintBitmap, Refusals) {
  const MonoBitmap square = Image(800, 800);
  BitmapPrint too_big = BuildPrintBitmap(Thermal(kBitmapAsIs), square);
  EXPECT_EQ(too_big.result, kExtended);
  EXPECT_EQ(too_big.extended, kExtTooBig);
  EXPECT_TRUE(too_big.handovers.empty());
  EXPECT_EQ(BuildPrintBitmap(DotMatrix(kBitmapAsIs), Image(600, 8)).extended, kExtTooBig);
  EXPECT_EQ(BuildPrintBitmap(Thermal(513), Image(8, 8)).result, kIllegal);
  EXPECT_EQ(BuildPrintBitmap(Thermal(2), Image(8, 8)).result, kIllegal);
  BitmapRequest journal = Thermal(200);
  journal.station = 1;
  EXPECT_EQ(BuildPrintBitmap(journal, Image(8, 8)).result, kIllegal);
  // Tall and thin: y = 256 / 8 bytes per column is over 48.
  EXPECT_EQ(BuildPrintBitmap(Thermal(kBitmapAsIs), Image(8, 400)).extended, kExtTooBig);
}

// The download area's limits from both sides: 48 bytes per column, 255 byte columns, and
// 1 536 bytes in all.
TEST(PrintBitmap, DownloadAreaLimitsFromBothSides) {
  struct Case {
    int32_t width, height;
    bool fits;
  };
  const Case cases[] = {
      {8, 384, true},   {8, 385, false},   // y 48 / 49
      {2040, 48, true}, {2041, 8, false},  // x 255 / 256
      {256, 384, true}, {264, 376, false}, // 32 x 48 = 1536 / 33 x 47 = 1551
  };
  for (const Case& c : cases) {
    const BitmapPrint print = BuildPrintBitmap(Thermal(kBitmapAsIs), Image(c.width, c.height));
    EXPECT_EQ(print.ok(), c.fits) << c.width << " x " << c.height;
    if (!c.fits) {
      EXPECT_EQ(print.extended, kExtTooBig) << c.width << " x " << c.height;
    }
  }
}

class BitmapFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/print_data_bitmaps_XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(BitmapFiles, PrintAndSetBitmapFromFiles) {
  BmpLayout layout;
  layout.width = 16;
  layout.height = 8;
  layout.pixel = [](int32_t x, int32_t) { return x == 0; };
  const std::string path = Write("logo.bmp", BuildBmp(layout));
  BitmapRequest request = Thermal(kBitmapAsIs);
  request.file_name = path;
  BitmapPrint print = BuildPrintBitmap(request);
  ASSERT_TRUE(print.ok());
  EXPECT_EQ(print.handovers[0].bytes.substr(0, 5), "\x1D\x2A\x02\x01\xFF");

  BitmapDownload download = BuildSetBitmap(2, request);
  ASSERT_TRUE(download.ok());
  EXPECT_EQ(download.bytes, print.handovers[0].bytes);
  EXPECT_FALSE(download.normal_quality);

  EXPECT_EQ(BuildSetBitmap(3, request).result, kIllegal);
  BitmapRequest dot_matrix = request;
  dot_matrix.kind = PrinterKind::kDotMatrix;
  EXPECT_EQ(BuildSetBitmap(1, dot_matrix).result, kIllegal);
  EXPECT_TRUE(BuildPrintBitmap(dot_matrix).ok());

  BitmapRequest missing = request;
  const std::string missing_path = (dir_ / "missing.bmp").string();
  missing.file_name = missing_path;
  EXPECT_EQ(BuildPrintBitmap(missing).result, kIllegal);
  const std::string long_name = "/" + std::string(255, 'n');
  missing.file_name = long_name;
  EXPECT_EQ(BuildSetBitmap(1, missing).result, kIllegal);
  layout.bits_per_pixel = 24;
  const std::string colour = Write("colour.bmp", BuildBmp(layout));
  request.file_name = colour;
  EXPECT_EQ(BuildSetBitmap(1, request).extended, kExtBadFormat);
}

}  // namespace
}  // namespace print_data
