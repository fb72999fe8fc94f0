#include "print_data/barcode.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace print_data {
namespace {

BarcodeRequest Request(int32_t symbology, std::string_view data, int32_t width = 500) {
  BarcodeRequest request;
  request.symbology = symbology;
  request.data = data;
  request.width = width;
  request.height = 50;
  return request;
}

// Module width the command chose (GS w k), or -1 when refused.
int Module(const BarcodeRequest& request) {
  Encoded command = BuildBarcodeCommand(request);
  return command.ok() ? command.bytes[5] : -1;
}

TEST(Barcode, UpcACommandExactly) {
  BarcodeRequest request = Request(101, "01234567890", 300);
  request.alignment = -2;
  request.text_position = -13;
  EXPECT_EQ(BuildBarcodeCommand(request).bytes,
            "\x1D\x66\x30\x1D\x77\x03\x1D\x68\x33\x1B\x61\x31\x1D\x48\x32\x1D\x6B\x41\x0B"
            "01234567890");
}

TEST(Barcode, FontAlignmentPositionAndHeight) {
  BarcodeRequest request = Request(104, "123456789012");
  request.rec_line_chars = 56;
  request.alignment = -1;
  request.text_position = -11;
  request.height = 300;
  EXPECT_EQ(BuildBarcodeCommand(request).bytes.substr(0, 15),
            "\x1D\x66\x31\x1D\x77\x05\x1D\x68\xFF\x1B\x61\x30\x1D\x48\x30");
  request.alignment = -3;
  request.text_position = -12;
  request.height = 0;
  EXPECT_EQ(BuildBarcodeCommand(request).bytes.substr(6, 9),
            "\x1D\x68\x01\x1B\x61\x32\x1D\x48\x31");
  request.height = -500;
  EXPECT_EQ(BuildBarcodeCommand(request).bytes[8], '\x01');
  request.alignment = 120;  // a dot position centres
  EXPECT_EQ(BuildBarcodeCommand(request).bytes.substr(9, 3), "\x1B\x61\x31");
  request.text_position = -14;
  EXPECT_EQ(BuildBarcodeCommand(request).result, kIllegal);
  // Twips: 3600 twips wide is 450 dots, 400 twips high 50 dots.
  request = Request(101, "01234567890", 3600);
  request.map_mode = 2;
  request.rec_line_width = 4096;
  request.height = 400;
  EXPECT_EQ(BuildBarcodeCommand(request).bytes.substr(3, 6), "\x1D\x77\x04\x1D\x68\x33");
}

TEST(Barcode, FixedLengthSymbologiesAndWidthTables) {
  EXPECT_EQ(Module(Request(101, "0123456789")), -1);
  EXPECT_EQ(Module(Request(101, "0123456789012")), -1);
  EXPECT_EQ(Module(Request(101, "012345678901", 284)), 2);
  EXPECT_EQ(Module(Request(101, "012345678901", 380)), 4);
  EXPECT_EQ(Module(Request(101, "012345678901", 512)), 5);
  EXPECT_EQ(Module(Request(102, "01234567890", 66)), 2);
  EXPECT_EQ(Module(Request(102, "01234567890", 257)), 6);
  EXPECT_EQ(Module(Request(102, "11234567890")), -1);
  EXPECT_EQ(Module(Request(103, "1234567", 200)), 2);
  EXPECT_EQ(Module(Request(103, "12345678", 402)), 6);
  EXPECT_EQ(Module(Request(103, "123456")), -1);
  EXPECT_EQ(Module(Request(104, "123456789012", 334)), 3);
  EXPECT_EQ(Module(Request(104, "1234567890123")), 5);
  EXPECT_EQ(Module(Request(104, "12345678901")), -1);
}

// Every boundary of the three width tables, from both sides.
TEST(Barcode, WidthTableBoundariesFromBothSides) {
  struct Table {
    int32_t symbology;
    std::string_view data;
    std::vector<std::pair<int32_t, int>> widths;  // width in dots, module width
  };
  const Table tables[] = {
      {101, "01234567890", {{284, 2}, {285, 3}, {379, 3}, {380, 4}, {474, 4}, {475, 5}, {512, 5}}},
      {104, "123456789012", {{284, 2}, {285, 3}, {379, 3}, {380, 4}, {474, 4}, {475, 5}}},
      {102, "01234567890",
       {{1, 2}, {66, 2}, {67, 3}, {154, 3}, {155, 4}, {205, 4}, {206, 5}, {256, 5}, {257, 6}}},
      {103, "1234567",
       {{1, 2}, {200, 2}, {201, 3}, {267, 3}, {268, 4}, {334, 4}, {335, 5}, {401, 5}, {402, 6}}},
  };
  for (const Table& table : tables) {
    for (const auto& [width, module] : table.widths) {
      EXPECT_EQ(Module(Request(table.symbology, table.data, width)), module)
          << table.symbology << " at " << width << " dots";
    }
  }
}

TEST(Barcode, VariableLengthSymbologiesBestFit) {
  EXPECT_EQ(Module(Request(106, "1234567")), -1);
  EXPECT_EQ(Module(Request(106, std::string(28, '1'), 512)), 2);  // 28 x 18.286 = 512
  EXPECT_EQ(Module(Request(106, std::string(30, '1'))), -1);
  EXPECT_EQ(Module(Request(108, "ABCDEFGHIJ", 400)), 2);  // 12 counted: 361 fits, 559 not
  EXPECT_EQ(Module(Request(108, std::string(16, 'A'))), -1);
  EXPECT_EQ(Module(Request(107, "A" + std::string(20, '1') + "B", 512)), 2);
  EXPECT_EQ(Module(Request(107, "A" + std::string(21, '1') + "B", 512)), -1);
  EXPECT_EQ(Module(Request(109, "ABCDE", 500)), 5);  // 7 x 64 = 448, 7 x 85.333 = 597
  EXPECT_EQ(Module(Request(109, "ABCDE", 447)), 4);
}

// Characters outside the symbology's set, and empty data, are refused.
TEST(Barcode, DataTheSymbologyCannotEncode) {
  const std::pair<int32_t, std::string_view> refused[] = {
      {101, "0123456789A"}, {102, "0123456789a"}, {103, "123 567"},  {104, "12345678901x"},
      {106, "12345a"},      {106, ""},            {108, "Code39"},   {108, "**"},
      {108, "A*B"},         {107, "xyz!!"},       {107, "1234"},     {107, "A12"},
      {107, ""},            {109, "ab\x80"},      {109, ""},         {110, "\xC4x"},
  };
  for (const auto& [symbology, data] : refused) {
    EXPECT_EQ(Module(Request(symbology, data)), -1) << symbology << " " << data;
  }
  const std::pair<int32_t, std::string_view> accepted[] = {
      {108, "*A 1$%+-./*"}, {107, "a0123-$:/.+d"}, {109, "az{}~\x01"}, {110, "{Bab"},
      {106, "12"},
  };
  for (const auto& [symbology, data] : accepted) {
    EXPECT_GT(Module(Request(symbology, data)), 0) << symbology << " " << data;
  }
}

TEST(Barcode, NoModuleWidthFitsIsRefused) {
  EXPECT_EQ(Module(Request(108, "ABCDEFGHIJ", 360)), -1);
  EXPECT_EQ(BestFitModuleWidth(108, 12, 360), 0);
  EXPECT_EQ(BestFitModuleWidth(108, 12, 361), 2);
}

TEST(Barcode, Code128Preparation) {
  EXPECT_EQ(*PrepareCode128("ABC"), "{AABC");
  EXPECT_EQ(*PrepareCode128("{Bxy"), "{A{Bxy");
  EXPECT_EQ(*PrepareCode128("x{Ay"), "x{Ay");
  EXPECT_TRUE(PrepareCode128(std::string(19, 'a')).has_value());
  EXPECT_FALSE(PrepareCode128(std::string(20, 'a')).has_value());
  EXPECT_TRUE(PrepareCode128("{S" + std::string(18, 'a')).has_value());  // 22 - 3 = 19
  EXPECT_FALSE(PrepareCode128("{S" + std::string(19, 'a')).has_value());

  EXPECT_EQ(BuildBarcodeCommand(Request(110, "12345678", 512)).bytes.substr(15),
            "\x1D\x6B\x49\x0A{A12345678");
  EXPECT_EQ(Module(Request(110, "12345678", 512)), 3);  // 10 x 42.667 = 427, 10 x 64 = 640
  // Nineteen characters pass the length rule but need 538 dots even at module width 2.
  EXPECT_EQ(Module(Request(110, std::string(19, 'a'), 512)), -1);
  // Selectors do not count, but the command's length byte holds at most 255.
  std::string selectors;
  for (int i = 0; i < 130; ++i) selectors += "{S";
  EXPECT_EQ(Module(Request(110, selectors, 512)), -1);
}

TEST(Barcode, Refusals) {
  BarcodeRequest request = Request(101, "01234567890");
  EXPECT_GT(Module(request), 0);
  for (int32_t station : {1, 4}) {
    BarcodeRequest other = request;
    other.station = station;
    EXPECT_EQ(BuildBarcodeCommand(other).result, kIllegal);
  }
  BarcodeRequest wide = request;
  wide.width = 513;
  EXPECT_EQ(BuildBarcodeCommand(wide).result, kIllegal);
  BarcodeRequest rotated = request;
  rotated.rotate_special = 258;
  EXPECT_EQ(BuildBarcodeCommand(rotated).result, kIllegal);
  BarcodeRequest dot_matrix = request;
  dot_matrix.kind = PrinterKind::kDotMatrix;
  EXPECT_EQ(BuildBarcodeCommand(dot_matrix).result, kIllegal);
  for (int32_t symbology : {105, 100, 111, 0, -1}) {
    BarcodeRequest unknown = request;
    unknown.symbology = symbology;
    EXPECT_EQ(BuildBarcodeCommand(unknown).result, kIllegal) << symbology;
  }
  BarcodeRequest nibble = Request(103, "31323334353637");
  nibble.binary_conversion = 1;
  EXPECT_EQ(BuildBarcodeCommand(nibble).bytes.substr(19), "1234567");
  nibble.data = "3132333435363";
  EXPECT_EQ(BuildBarcodeCommand(nibble).result, kIllegal);
  EXPECT_TRUE(BuildBarcodeCommand(nibble).bytes.empty());
}

}  // namespace
}  // namespace print_data
