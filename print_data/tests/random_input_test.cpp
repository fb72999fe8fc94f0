// Seeded random input through the same paths the fuzz targets drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bmp_builder.h"
#include "print_data/binary_conversion.h"
#include "print_data/bitmap_commands.h"
#include "print_data/escape_translator.h"

namespace print_data {
namespace {

std::string RandomPrintData(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "\x1B|", "\x1B", "|",   "rv",          "C",  "A",  "F",     "P", "N", "L", "T", "h",
      "v",     "u",    "l",   "c",           "b",  "t",  "f",     "s", "1", "2", "3", "8",
      "9",     "75",   "400", "99999999999", "\n", "\r", "text ", "^", "0", "4"};
  std::string data;
  const int pieces = std::uniform_int_distribution<int>(0, 60)(random);
  for (int i = 0; i < pieces; ++i) {
    if (random() % 8 == 0) {
      data.push_back(static_cast<char>(random()));
    } else {
      data += kPieces[random() % kPieces.size()];
    }
  }
  return data;
}

TEST(RandomInput, TranslationKeepsItsPromises) {
  std::mt19937 random(20240611);
  EscapeTranslator translator;
  for (int i = 0; i < 20000; ++i) {
    const std::string data = RandomPrintData(random);
    Encoded decoded = DecodeBinaryConversion(data, static_cast<int32_t>(random() % 3));
    if (!decoded.ok()) continue;
    TranslateSettings settings;
    settings.kind = random() % 2 ? PrinterKind::kThermal : PrinterKind::kDotMatrix;
    settings.map_mode = 1 + static_cast<int32_t>(random() % 4);
    settings.rotation_mode = static_cast<int32_t>(random() % 3);
    settings.rec_line_chars = random() % 2 ? 42 : 56;
    settings.output_limit = random() % 4 ? kMaxPrintData : random() % 64;
    const ColumnState before = translator.columns();
    Encoded out = translator.Translate(decoded.bytes, settings);
    if (out.ok()) {
      ASSERT_LE(out.bytes.size(), settings.output_limit);
      ASSERT_EQ(out.bytes.find('\0'), std::string::npos) << data;
      ASSERT_GE(translator.columns().widest_line, before.widest_line);
    } else {
      ASSERT_EQ(out.result, kIllegal);
      ASSERT_TRUE(out.bytes.empty());
      ASSERT_EQ(translator.columns().carried_column, before.carried_column);
      ASSERT_EQ(translator.columns().widest_line, before.widest_line);
    }
  }
}

// Long random receipts of text, line ends and size changes: the widest line and the
// carried column must match a plain count, line by line, wherever the lines fall in the
// translator's 64-byte windows.
TEST(RandomInput, ColumnsMatchALineByLineCount) {
  struct Piece {
    std::string bytes;
    int32_t width_increment;  // -1: no change; else the increment the sequence sets
  };
  static const std::vector<Piece> kPieces = {
      {"\x1B|2C", 1}, {"\x1B|1C", 0}, {"\x1B|4C", 1}, {"\x1B|3C", 0}, {"\x1B|3hC", 2},
      {"\x1B|2vC", 0}, {"\x1B|bC", -1}, {"\x1B|cA", -1}, {"\x1B|N", -1}, {"\x1B|uC", -1}};
  std::mt19937 random(11);
  for (int i = 0; i < 3000; ++i) {
    std::string data;
    int64_t column = 0, widest = 0, increment = 0;
    const int length = std::uniform_int_distribution<int>(0, 900)(random);
    while (static_cast<int>(data.size()) < length) {
      const uint32_t choice = random() % 100;
      if (choice < 8) {
        data += choice % 2 ? '\n' : '\r';
        widest = std::max(widest, column);
        column = 0;
        increment = 0;
      } else if (choice < 14) {
        const Piece& piece = kPieces[random() % kPieces.size()];
        data += piece.bytes;
        if (piece.width_increment >= 0) increment = piece.width_increment;
      } else {
        const int run = 1 + static_cast<int>(random() % 70);
        data.append(static_cast<size_t>(run), static_cast<char>('a' + random() % 26));
        column += run * (1 + increment);
      }
    }
    EscapeTranslator translator;
    ASSERT_TRUE(translator.Translate(data, TranslateSettings{}).ok());
    ASSERT_EQ(translator.columns().widest_line, widest) << "case " << i;
    ASSERT_EQ(translator.columns().carried_column, column) << "case " << i;
  }
}

TEST(RandomInput, DamagedBitmapsAreRefusedOrConvertedConsistently) {
  std::mt19937 random(7);
  testing::BmpLayout layout;
  layout.width = 37;
  layout.height = 21;
  layout.pixel = [](int32_t x, int32_t y) { return (x * y) % 3 == 0; };
  const std::string good = testing::BuildBmp(layout);
  for (int i = 0; i < 5000; ++i) {
    std::string bmp = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
      // Mostly the headers, where a change matters.
      const size_t at = random() % 2 ? random() % 62 : random() % bmp.size();
      bmp[at] = static_cast<char>(random());
    }
    if (random() % 5 == 0) bmp.resize(random() % bmp.size());
    BmpReadResult read = ReadBmp(bmp);
    if (!read.ok()) {
      ASSERT_TRUE(read.result == kIllegal || read.result == kExtended);
      continue;
    }
    BitmapRequest request;
    request.kind = random() % 2 ? PrinterKind::kThermal : PrinterKind::kDotMatrix;
    request.width = random() % 3 ? static_cast<int32_t>(random() % 600) - 20 : kBitmapAsIs;
    request.map_mode = 1 + static_cast<int32_t>(random() % 4);
    request.rec_line_width = 7224;
    BitmapPrint print = BuildPrintBitmap(request, read.image);
    if (!print.ok()) continue;
    if (request.kind == PrinterKind::kThermal) {
      const std::string& download = print.handovers.at(0).bytes;
      const size_t x = static_cast<uint8_t>(download.at(2));
      const size_t y = static_cast<uint8_t>(download.at(3));
      ASSERT_EQ(download.size(), 4 + x * 8 * y);
    } else {
      ASSERT_EQ(print.handovers.size() % 2, 0u);
    }
  }
}

}  // namespace
}  // namespace print_data
