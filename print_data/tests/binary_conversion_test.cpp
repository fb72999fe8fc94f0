#include "print_data/binary_conversion.h"

#include <gtest/gtest.h>

namespace print_data {
namespace {

TEST(BinaryConversion, NoneKeepsBytesUpToTheFirstZero) {
  EXPECT_EQ(DecodeBinaryConversion("A\x1B|bC", kBinaryConversionNone).bytes, "A\x1B|bC");
  EXPECT_EQ(DecodeBinaryConversion(std::string_view("AB\0C", 4), 7).bytes, "AB");
}

TEST(BinaryConversion, NibblePairs) {
  EXPECT_EQ(DecodeBinaryConversion("414243", kBinaryConversionNibble).bytes, "ABC");
  // Only the low four bits of the second character count; the first is shifted whole.
  EXPECT_EQ(DecodeBinaryConversion("1B7C", kBinaryConversionNibble).bytes, "\x12\x73");
  EXPECT_EQ(DecodeBinaryConversion("?:", kBinaryConversionNibble).bytes, "\xFA");
  EXPECT_EQ(DecodeBinaryConversion("41424", kBinaryConversionNibble).result, kIllegal);
  EXPECT_EQ(DecodeBinaryConversion("4100434", kBinaryConversionNibble).result, kIllegal);
  // A decoded zero ends the data.
  EXPECT_EQ(DecodeBinaryConversion("41004243", kBinaryConversionNibble).bytes, "A");
}

TEST(BinaryConversion, DecimalGroups) {
  EXPECT_EQ(DecodeBinaryConversion("065066", kBinaryConversionDecimal).bytes, "AB");
  EXPECT_EQ(DecodeBinaryConversion("^65^^9", kBinaryConversionDecimal).bytes, "A\x09");
  EXPECT_EQ(DecodeBinaryConversion("255321", kBinaryConversionDecimal).bytes, "\xFF\x41");
  EXPECT_EQ(DecodeBinaryConversion(" 66-01", kBinaryConversionDecimal).bytes, "B\xFF");
  EXPECT_EQ(DecodeBinaryConversion("06506", kBinaryConversionDecimal).result, kIllegal);
  EXPECT_EQ(DecodeBinaryConversion("0650", kBinaryConversionDecimal).result, kIllegal);
  // 256 and text groups decode to zero, which ends the data.
  EXPECT_EQ(DecodeBinaryConversion("065256066", kBinaryConversionDecimal).bytes, "A");
  EXPECT_EQ(DecodeBinaryConversion("065abc066", kBinaryConversionDecimal).bytes, "A");
}

TEST(BinaryConversion, DecodedDataOverTheBufferIsRefused) {
  EXPECT_TRUE(DecodeBinaryConversion(std::string(kMaxPrintData, 'x'), 0).ok());
  EXPECT_EQ(DecodeBinaryConversion(std::string(kMaxPrintData + 1, 'x'), 0).result, kIllegal);
  EXPECT_TRUE(
      DecodeBinaryConversion(std::string(2 * kMaxPrintData, '4'), kBinaryConversionNibble).ok());
  EXPECT_EQ(DecodeBinaryConversion(std::string(2 * kMaxPrintData + 2, '4'), kBinaryConversionNibble)
                .result,
            kIllegal);
}

}  // namespace
}  // namespace print_data
