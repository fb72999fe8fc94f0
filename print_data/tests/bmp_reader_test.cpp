#include "print_data/bmp_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bmp_builder.h"

namespace print_data {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::PutU32;

// A pattern that tells rows, columns and orientation apart.
bool Pattern(int32_t x, int32_t y) { return (x + 2 * y) % 5 == 0 || (y == 0 && x < 3); }

BmpLayout PatternSpec(int32_t width = 13, int32_t height = 7) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixel = Pattern;
  return layout;
}

void ExpectPattern(const BmpReadResult& read, int32_t width, int32_t height) {
  ASSERT_TRUE(read.ok()) << read.result << "/" << read.extended;
  ASSERT_EQ(read.image.width(), width);
  ASSERT_EQ(read.image.height(), height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      ASSERT_EQ(read.image.Printed(x, y), Pattern(x, y)) << x << "," << y;
    }
  }
}

TEST(BmpReader, OneBitLayouts) {
  ExpectPattern(ReadBmp(BuildBmp(PatternSpec())), 13, 7);
  BmpLayout top_down = PatternSpec(40, 9);
  top_down.top_down = true;
  ExpectPattern(ReadBmp(BuildBmp(top_down)), 40, 9);
  BmpLayout core = PatternSpec(33, 5);
  core.header_size = 12;
  ExpectPattern(ReadBmp(BuildBmp(core)), 33, 5);
  BmpLayout bit_fields = PatternSpec();
  bit_fields.compression = 3;
  ExpectPattern(ReadBmp(BuildBmp(bit_fields)), 13, 7);
  for (uint32_t header : {108u, 124u}) {
    BmpLayout newer = PatternSpec();
    newer.header_size = header;
    newer.compression = header == 124 ? 3 : 0;
    ExpectPattern(ReadBmp(BuildBmp(newer)), 13, 7);
  }
}

TEST(BmpReader, PaletteDecidesWhatPrints) {
  BmpLayout inverted = PatternSpec();
  inverted.palette = {0x000000, 0xFFFFFF};
  inverted.pixel = [](int32_t x, int32_t y) { return !Pattern(x, y); };
  ExpectPattern(ReadBmp(BuildBmp(inverted)), 13, 7);
  // Any colour that is not pure white prints, however light.
  BmpLayout light = PatternSpec();
  light.palette = {0xFFFFFF, 0xFEFFFF};
  ExpectPattern(ReadBmp(BuildBmp(light)), 13, 7);
  BmpLayout both_white = PatternSpec();
  both_white.palette = {0xFFFFFF, 0xFFFFFF};
  BmpReadResult read = ReadBmp(BuildBmp(both_white));
  ASSERT_TRUE(read.ok());
  EXPECT_FALSE(read.image.Printed(0, 0));
}

TEST(BmpReader, UnsupportedFormatsAreBadFormat) {
  for (uint16_t depth : {4, 8, 24, 32}) {
    BmpLayout colour = PatternSpec();
    colour.bits_per_pixel = depth;
    BmpReadResult read = ReadBmp(BuildBmp(colour));
    EXPECT_EQ(read.result, kExtended) << depth;
    EXPECT_EQ(read.extended, kExtBadFormat) << depth;
  }
  // The core header keeps its depth at another place than the longer headers.
  for (uint16_t depth : {4, 8, 24}) {
    BmpLayout core = PatternSpec();
    core.header_size = 12;
    core.bits_per_pixel = depth;
    EXPECT_EQ(ReadBmp(BuildBmp(core)).extended, kExtBadFormat) << depth;
  }
  std::string run_length = BuildBmp(PatternSpec());
  PutU32(run_length, 30, 1);
  EXPECT_EQ(ReadBmp(run_length).extended, kExtBadFormat);
  std::string not_bm = BuildBmp(PatternSpec());
  not_bm[0] = 'P';
  EXPECT_EQ(ReadBmp(not_bm).result, kExtended);
  EXPECT_EQ(ReadBmp(not_bm).extended, kExtBadFormat);
  std::string zero_width = BuildBmp(PatternSpec());
  PutU32(zero_width, 18, 0);
  EXPECT_EQ(ReadBmp(zero_width).extended, kExtBadFormat);
  std::string short_header = BuildBmp(PatternSpec());
  PutU32(short_header, 14, 16);
  EXPECT_EQ(ReadBmp(short_header).extended, kExtBadFormat);
}

TEST(BmpReader, TruncatedFilesAndOutsideOffsetsAreIllegal) {
  const std::string good = BuildBmp(PatternSpec());
  for (size_t length = 0; length < good.size(); ++length) {
    std::string cut = good.substr(0, length);
    EXPECT_EQ(ReadBmp(cut).result, kIllegal) << length;
    // Also when the size field is made to match: the rows are still missing.
    if (length >= 14) {
      PutU32(cut, 2, static_cast<uint32_t>(length));
      EXPECT_EQ(ReadBmp(cut).result, kIllegal) << length;
    }
  }
  std::string offset_outside = good;
  PutU32(offset_outside, 10, static_cast<uint32_t>(good.size() + 4));
  EXPECT_EQ(ReadBmp(offset_outside).result, kIllegal);
  std::string header_over_pixels = good;
  PutU32(header_over_pixels, 14, 200);
  EXPECT_EQ(ReadBmp(header_over_pixels).result, kIllegal);
  std::string rows_outside = good;
  PutU32(rows_outside, 22, 1000);  // far more rows than the file holds
  EXPECT_EQ(ReadBmp(rows_outside).result, kIllegal);
  std::string huge_offset = good;
  PutU32(huge_offset, 10, 0xFFFFFFF0u);
  EXPECT_EQ(ReadBmp(huge_offset).result, kIllegal);
}

TEST(BmpReader, HugeSidesAreTooBig) {
  std::string huge = BuildBmp(PatternSpec());
  PutU32(huge, 18, 70000);
  EXPECT_EQ(ReadBmp(huge).result, kExtended);
  EXPECT_EQ(ReadBmp(huge).extended, kExtTooBig);
  std::string tall = BuildBmp(PatternSpec());
  PutU32(tall, 22, static_cast<uint32_t>(-2147483647 - 1));
  EXPECT_EQ(ReadBmp(tall).extended, kExtTooBig);
}

TEST(BmpReader, ReadsFilesAndRefusesMissingOnes) {
  char pattern[] = "/tmp/print_data_bmp_XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(pattern);
  const std::filesystem::path file = dir / "logo.bmp";
  std::ofstream(file, std::ios::binary) << BuildBmp(PatternSpec());
  ExpectPattern(ReadBmpFile(file.string()), 13, 7);
  EXPECT_EQ(ReadBmpFile((dir / "missing.bmp").string()).result, kIllegal);
  EXPECT_EQ(ReadBmpFile(dir.string()).result, kIllegal);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace print_data
