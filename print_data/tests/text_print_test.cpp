#include "print_data/text_print.h"

#include <gtest/gtest.h>

#include "print_data/logo_store.h"

namespace print_data {
namespace {

constexpr std::string_view kReset42 =
    "\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x46\x1D\x42\x30\x1B\x61\x30";

PrintNormalRequest Request(std::string_view data, PrinterKind kind = PrinterKind::kThermal) {
  PrintNormalRequest request;
  request.data = data;
  request.settings.kind = kind;
  return request;
}

TEST(TextPrint, ResetPrefixByLineChars) {
  EXPECT_EQ(ResetPrefix(42), kReset42);
  EXPECT_EQ(ResetPrefix(56), "\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x47\x1D\x42\x30\x1B\x61\x30");
  EXPECT_EQ(ResetPrefix(33),
            "\x1B"
            "E0\x1B-0\x1B!F\x1Br0\x1B"
            "a0");
}

TEST(TextPrint, LineSpacingValues) {
  EXPECT_EQ(LineSpacingValue(30, 1, PrinterKind::kThermal), 60);
  EXPECT_EQ(LineSpacingValue(30, 1, PrinterKind::kDotMatrix), 25);
  EXPECT_EQ(LineSpacingValue(200, 1, PrinterKind::kThermal), 255);
  EXPECT_EQ(LineSpacingValue(0, 1, PrinterKind::kThermal), 1);
  EXPECT_EQ(LineSpacingValue(-40, 1, PrinterKind::kThermal), 1);
  EXPECT_EQ(LineSpacingValue(423, 4, PrinterKind::kThermal), 60);  // 30 dots in 0.01 mm
  EXPECT_EQ(LineSpacingValue(240, 2, PrinterKind::kThermal), 60);  // 30 dots in twips
}

TEST(TextPrint, PrintNormalFramesTranslatedTextOnBothModels) {
  EscapeTranslator translator;
  RotationState rotation;
  PrintNormalOutput thermal = ComposePrintNormal(Request("\x1B|bCHi\n"), translator, rotation);
  EXPECT_TRUE(thermal.send);
  EXPECT_EQ(thermal.bytes, std::string(kReset42) + "\x1B\x33\x3C\x1B\x45\x31Hi\n");

  PrintNormalRequest dot_matrix = Request("Hi\n", PrinterKind::kDotMatrix);
  dot_matrix.settings.rec_line_chars = 33;
  EXPECT_EQ(ComposePrintNormal(dot_matrix, translator, rotation).bytes,
            std::string(ResetPrefix(33)) + "\x1B\x33\x19Hi\n");

  PrintNormalRequest nibble = Request("414243");
  nibble.binary_conversion = 1;
  EXPECT_EQ(ComposePrintNormal(nibble, translator, rotation).bytes.substr(18), "ABC");
  nibble.data = "41424";
  PrintNormalOutput refused = ComposePrintNormal(nibble, translator, rotation);
  EXPECT_EQ(refused.result, kIllegal);
  EXPECT_FALSE(refused.send);
  EXPECT_TRUE(refused.bytes.empty());
}

TEST(TextPrint, ValidateDataTranslatesLikePrinting) {
  EscapeTranslator translator;
  EXPECT_EQ(ValidatePrintData("ABCD", 0, TranslateSettings{}, translator), kSuccess);
  EXPECT_EQ(translator.columns().carried_column, 4);
  EXPECT_EQ(ValidatePrintData("0650", 2, TranslateSettings{}, translator), kIllegal);
  EXPECT_EQ(translator.columns().carried_column, 4);
}

TEST(Rotation, RotatePrintCommands) {
  EscapeTranslator translator;
  RotationState rotation;
  EXPECT_EQ(rotation.Rotate(2, kRotateLeft90, PrinterKind::kThermal, true, 69, translator).bytes,
            "\x1B\x4C\x1B\x54\x31");
  EXPECT_EQ(rotation.mode(), 1);
  translator.Translate(std::string(30, 'x') + "\n", TranslateSettings{});
  EXPECT_EQ(rotation.Rotate(2, kRotateNormal, PrinterKind::kThermal, true, 69, translator).bytes,
            std::string("\x1B\x57\x00\x00\x00\x00\x00\x02\xD0\x02\x1B\x0C\x1B\x53", 14));
  EXPECT_EQ(rotation.mode(), 0);

  EXPECT_EQ(rotation.Rotate(2, kRotateRight90, PrinterKind::kThermal, true, 69, translator).bytes,
            "\x1B\x4C\x1B\x54\x33");
  EXPECT_EQ(translator.widest_line(), 0);
  translator.Translate(std::string(90, 'x') + "\n", TranslateSettings{});
  // The page is never taller than the sideways line allows: 69 x 24 = 1656.
  EXPECT_EQ(rotation.Rotate(2, kRotateNormal, PrinterKind::kThermal, true, 69, translator)
                .bytes.substr(8, 2),
            "\x78\x06");

  Encoded other = rotation.Rotate(2, 259, PrinterKind::kThermal, true, 69, translator);
  EXPECT_TRUE(other.ok());
  EXPECT_TRUE(other.bytes.empty());
  EXPECT_EQ(rotation.Rotate(1, kRotateLeft90, PrinterKind::kThermal, true, 69, translator).result,
            kIllegal);
  EXPECT_EQ(rotation.Rotate(2, kRotateLeft90, PrinterKind::kDotMatrix, true, 0, translator).result,
            kIllegal);
  EXPECT_EQ(rotation.mode(), 0);
  // The network and USB builds let the dot-matrix model rotate.
  EXPECT_TRUE(
      rotation.Rotate(2, kRotateLeft90, PrinterKind::kDotMatrix, false, 0, translator).ok());
}

TEST(Rotation, TextHeldBackUntilALineEndWithScaleDepthLines) {
  EscapeTranslator translator;
  RotationState rotation;
  rotation.Rotate(2, kRotateLeft90, PrinterKind::kThermal, true, 69, translator);
  PrintNormalOutput first = ComposePrintNormal(Request("\x1B|4CAB"), translator, rotation);
  EXPECT_EQ(first.result, kSuccess);
  EXPECT_FALSE(first.send);
  EXPECT_EQ(rotation.scale_depth(), 1);
  PrintNormalOutput second = ComposePrintNormal(Request("CD\x1B|20uF\n"), translator, rotation);
  ASSERT_TRUE(second.send);
  // One blank line, the first call's output, the second's; no line spacing, no feed.
  EXPECT_EQ(second.bytes, "\n" + std::string(kReset42) +
                              "\x1B\x21\x70"
                              "AB" +
                              std::string(kReset42) + "CD\n");
  EXPECT_EQ(rotation.scale_depth(), 0);
  EXPECT_TRUE(rotation.pending().empty());
  EXPECT_EQ(translator.widest_line(), 6);

  ComposePrintNormal(Request("\x1B|2vC\x1B|6vCx"), translator, rotation);
  EXPECT_EQ(rotation.scale_depth(), 5);
  EXPECT_EQ(ComposePrintNormal(Request("\n"), translator, rotation).bytes.substr(0, 6),
            std::string(5, '\n') + "\x1B");
}

// Each scale asks for its own number of blank lines, alone in the data.
TEST(Rotation, ScaleDepthOfEachScale) {
  const std::pair<const char*, int32_t> depths[] = {
      {"ab", 0},          {"\x1B|1vC", 0},   {"\x1B|2C", 0},    {"\x1B|3C", 1},
      {"\x1B|4C", 1},     {"\x1B|2vC", 1},   {"\x1B|3vC", 2},   {"\x1B|4vC", 3},
      {"\x1B|5vC", 4},    {"\x1B|6vC", 5},   {"\x1B|7vC", 6},   {"\x1B|8vC", 7},
      {"\x1B|8vC\x1B|3vC", 7}, {"\x1B|2vC\x1B|3vC", 2},
  };
  for (const auto& [data, depth] : depths) {
    EXPECT_EQ(RotationState::ScaleDepthOf(data), depth) << data + 1;
  }
}

// A block over what one call may send is refused whole; the held-back text and the depth
// stay for a shorter line.
TEST(Rotation, BlockTooLongToSendIsRefusedAndNothingChanges) {
  EscapeTranslator translator;
  RotationState rotation;
  rotation.Rotate(2, kRotateLeft90, PrinterKind::kThermal, true, 69, translator);
  ASSERT_EQ(ComposePrintNormal(Request("\x1B|3vC" + std::string(20000, 'b')), translator, rotation)
                .result,
            kSuccess);
  const std::string held = rotation.pending();
  const ColumnState columns = translator.columns();
  EXPECT_EQ(
      ComposePrintNormal(Request(std::string(20000, 'c') + "\n"), translator, rotation).result,
      kIllegal);
  EXPECT_EQ(rotation.pending(), held);
  EXPECT_EQ(rotation.scale_depth(), 2);
  EXPECT_EQ(translator.columns().carried_column, columns.carried_column);
  PrintNormalOutput sent = ComposePrintNormal(Request("\n"), translator, rotation);
  ASSERT_TRUE(sent.send);
  EXPECT_EQ(sent.bytes, "\n\n" + held + std::string(kReset42) + "\n");
  EXPECT_LE(sent.bytes.size(), kMaxPrintBlock);
}

// The framing does not count against the 32 767 bytes of translated text, and a prepared
// call changes nothing until it is committed.
TEST(PrintNormal, LimitCountsTranslatedTextOnlyAndPrepareChangesNothing) {
  EscapeTranslator translator;
  RotationState rotation;
  const std::string longest = "\n" + std::string(kMaxPrintData - 1, 'a');
  EscapeTranslator validating;
  EXPECT_EQ(ValidatePrintData(longest, 0, TranslateSettings{}, validating), kSuccess);
  EXPECT_EQ(ValidatePrintData(longest + "b", 0, TranslateSettings{}, validating), kIllegal);
  PrintNormalOutput prepared = PreparePrintNormal(Request(longest + "b"), translator, rotation);
  EXPECT_EQ(prepared.result, kIllegal);
  prepared = PreparePrintNormal(Request("abc"), translator, rotation);
  ASSERT_EQ(prepared.result, kSuccess);
  EXPECT_EQ(translator.columns().carried_column, 0);
  CommitPrintNormal(prepared, translator, rotation);
  EXPECT_EQ(translator.columns().carried_column, 3);
  prepared = PreparePrintNormal(Request(longest), translator, rotation);
  ASSERT_EQ(prepared.result, kSuccess);
  EXPECT_LE(prepared.bytes.size(), kMaxPrintBlock);
}

TEST(Rotation, RefusedCallLeavesHeldBackTextAndColumns) {
  EscapeTranslator translator;
  RotationState rotation;
  rotation.Rotate(2, kRotateLeft90, PrinterKind::kThermal, true, 69, translator);
  ComposePrintNormal(Request("abc"), translator, rotation);
  const std::string held = rotation.pending();
  // Held-back text may not outgrow one print buffer.
  PrintNormalOutput refused =
      ComposePrintNormal(Request(std::string(kMaxPrintData - 10, 'y')), translator, rotation);
  EXPECT_EQ(refused.result, kIllegal);
  EXPECT_EQ(rotation.pending(), held);
  EXPECT_EQ(translator.columns().carried_column, 3);
  rotation.Reset();
  EXPECT_EQ(rotation.mode(), 0);
  EXPECT_TRUE(rotation.pending().empty());
}

TEST(LogoStore, StoresTranslatedLogoForLaterPrintData) {
  LogoStore logos;
  EXPECT_EQ(logos.SetLogo(kLogoTop, "\x1B|cAStore\n", TranslateSettings{}), kSuccess);
  EXPECT_EQ(logos.top(), "\x1B\x61\x31Store\n");
  EXPECT_EQ(logos.SetLogo(3, "x", TranslateSettings{}), kIllegal);
  EXPECT_EQ(logos.SetLogo(kLogoBottom, std::string(kMaxLogo, 'b'), TranslateSettings{}), kSuccess);
  EXPECT_EQ(
      logos.SetLogo(kLogoBottom, std::string(kMaxLogo - 1, 'c') + "\x1B|2lF", TranslateSettings{}),
      kIllegal);
  EXPECT_EQ(logos.bottom(), std::string(kMaxLogo, 'b'));

  EscapeTranslator translator;
  RotationState rotation;
  PrintNormalRequest request = Request("\x1B|tLx");
  request.settings = logos.WithLogos(request.settings);
  EXPECT_EQ(ComposePrintNormal(request, translator, rotation).bytes.substr(18),
            "\x1B\x61\x31Store\nx");
  EXPECT_EQ(translator.columns().carried_column, 1);
}

}  // namespace
}  // namespace print_data
