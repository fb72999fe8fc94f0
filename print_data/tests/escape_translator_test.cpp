#include "print_data/escape_translator.h"

#include <gtest/gtest.h>

#include "print_data/feed_units.h"

namespace print_data {
namespace {

TranslateSettings Thermal() { return TranslateSettings{}; }
TranslateSettings DotMatrix() {
  TranslateSettings settings;
  settings.kind = PrinterKind::kDotMatrix;
  settings.rec_line_chars = 33;
  return settings;
}

std::string Tr(std::string_view data, const TranslateSettings& settings = Thermal()) {
  EscapeTranslator translator;
  Encoded out = translator.Translate(data, settings);
  EXPECT_TRUE(out.ok());
  return out.bytes;
}

TEST(EscapeTranslator, PlainTextCopiedAndColumnsCarriedIntoNextCall) {
  EscapeTranslator translator;
  EXPECT_EQ(translator.Translate("ABC", Thermal()).bytes, "ABC");
  EXPECT_EQ(translator.columns().carried_column, 3);
  translator.Translate("DE\n", Thermal());
  EXPECT_EQ(translator.widest_line(), 5);
  // Bytes of 0x80 and above and a lone ESC are ordinary characters.
  EXPECT_EQ(Tr("\x80\xFF\x1BX"), "\x80\xFF\x1BX");
}

TEST(EscapeTranslator, UnfinishedLineAfterLineEndStillCountsInNextCall) {
  EscapeTranslator translator;
  translator.Translate("AB\nDEFGHIJ", Thermal());
  EXPECT_EQ(translator.widest_line(), 2);
  translator.Translate("KL\n", Thermal());
  EXPECT_EQ(translator.widest_line(), 9);
}

// The longest line in turn at every place: first line, between two line ends anywhere in
// the 64-byte windows, across a window edge, and in the bytes after the last window.
TEST(EscapeTranslator, WidestLineOverLongRunsWithManyLines) {
  for (size_t longest_at = 0; longest_at < 40; ++longest_at) {
    std::string text;
    for (size_t i = 0; i < 40; ++i) {
      text += std::string(i == longest_at ? 23 : i % 17, 'x') + (i % 3 ? "\r\n" : "\n");
    }
    EscapeTranslator translator;
    EXPECT_EQ(translator.Translate(text + "tail", Thermal()).bytes, text + "tail");
    EXPECT_EQ(translator.widest_line(), 23) << "longest line " << longest_at;
    EXPECT_EQ(translator.columns().carried_column, 4);
  }
}

// Vertical scales make characters taller, never wider: the width a horizontal scale gave
// is dropped.
TEST(EscapeTranslator, VerticalScaleEndsTheWidthIncrement) {
  for (const char* vertical : {"\x1B|1vC", "\x1B|2vC", "\x1B|3vC", "\x1B|8vC"}) {
    for (const char* wide : {"\x1B|2C", "\x1B|2hC", "\x1B|4hC"}) {
      EscapeTranslator translator;
      ASSERT_TRUE(translator.Translate(std::string(wide) + vertical + "AB", Thermal()).ok());
      EXPECT_EQ(translator.columns().carried_column, 2) << wide << " then " << vertical + 1;
    }
  }
}

TEST(EscapeTranslator, AlignmentOnlyAtLineStart) {
  EXPECT_EQ(Tr("\x1B|cAWord\n"), "\x1B\x61\x31Word\n");
  EXPECT_EQ(Tr("AB\x1B|cA"), "AB");
  EXPECT_EQ(Tr("\x1B|rA\x1B|cAx\n\x1B|cA"), "\x1B\x61\x32x\n\x1B\x61\x31");
}

TEST(EscapeTranslator, CharacterModesAndColumns) {
  EscapeTranslator translator;
  EXPECT_EQ(translator.Translate("\x1B|bC\x1B|2CAB", Thermal()).bytes,
            "\x1B\x45\x31\x1B\x21\x68"
            "AB");
  EXPECT_EQ(translator.columns().carried_column, 4);
  EXPECT_EQ(Tr("\x1B|uC\x1B|1C"), "\x1B\x2D\x31\x1B\x21\x40\x1B\x2D\x31");
  EXPECT_EQ(Tr("\x1B|2uC\x1B|3C"), "\x1B\x2D\x32\x1B\x21\x50\x1B\x2D\x32");
  EXPECT_EQ(Tr("\x1B|4C"), "\x1B\x21\x70");
  TranslateSettings small_font = Thermal();
  small_font.rec_line_chars = 56;
  EXPECT_EQ(Tr("\x1B|1C", small_font), "\x1B\x21\x41");
  EXPECT_EQ(Tr("\x1B|iC\x1B|2sC\x1B|3fT\x1B|sL"), "");
}

TEST(EscapeTranslator, ColourAndReverseDependOnModel) {
  EXPECT_EQ(Tr("\x1B|rvC\x1B|rC"), "\x1D\x42\x01");
  EXPECT_EQ(Tr("\x1B|rvC\x1B|rC", DotMatrix()), "\x1B\x72\x01");
}

TEST(EscapeTranslator, ScalesOnBothModels) {
  EscapeTranslator thermal;
  EXPECT_EQ(thermal.Translate("\x1B|3hCAB", Thermal()).bytes,
            "\x1D\x21\x20"
            "AB");
  EXPECT_EQ(thermal.columns().carried_column, 6);
  EscapeTranslator dot_matrix;
  EXPECT_EQ(dot_matrix.Translate("\x1B|3hCAB", DotMatrix()).bytes, "AB");
  EXPECT_EQ(dot_matrix.columns().carried_column, 6);

  EXPECT_EQ(Tr("\x1B|2vC\x1B|4hC"), "\x1B\x21\x50\x1D\x21\x31");
  EXPECT_EQ(Tr("\x1B|2hC\x1B|5vC"), "\x1B\x21\x60\x1D\x21\x14");
  EXPECT_EQ(Tr("\x1B|3vC\x1B|2hC"), "\x1D\x21\x02\x1D\x21\x12");
  EXPECT_EQ(Tr("\x1B|1hC\x1B|1vC"), "\x1B\x21\x40\x1B\x21\x40");
  EXPECT_EQ(Tr("\x1B|0hC\x1B|9hC\x1B|9vC"), "");
  EXPECT_EQ(Tr("\x1B|6vC", DotMatrix()), "");
}

TEST(EscapeTranslator, StackedScalesStayWithinTheCommandsRange) {
  // Width nibble already at its largest: a further double width keeps it, never wrapping
  // into a zero byte.
  EXPECT_EQ(Tr("\x1B|8hC\x1B|2hC\x1B|2hC"), "\x1D\x21\x70\x1D\x21\x70\x1D\x21\x70");
  EXPECT_EQ(Tr("\x1B|8vC\x1B|2vC\x1B|3hC"), "\x1D\x21\x07\x1B\x21\x50\x1D\x21\x27");
}

TEST(EscapeTranslator, NormalResetsModeButKeepsScaleState) {
  EXPECT_EQ(Tr("\x1B|N"), "\x1B\x61\x30\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x40");
  EXPECT_EQ(Tr("x\x1B|bC\x1B|N"), "x\x1B\x45\x31\x1B\x45\x30\x1B\x2D\x30\x1B\x21\x40");
  // The underline state is cleared: a size change afterwards carries no underline suffix.
  EXPECT_EQ(Tr("\x1B|uC\x1B|N\x1B|2C").substr(15), "\x1B\x21\x60");
}

TEST(EscapeTranslator, UnrecognisedSequencesPassThroughAsData) {
  EscapeTranslator translator;
  EXPECT_EQ(translator.Translate("\x1B|1B", Thermal()).bytes, "\x1B|1B");
  EXPECT_EQ(translator.columns().carried_column, 2);
  for (std::string_view sequence :
       {"\x1B|9C", "\x1B|tbC", "\x1B|0C", "\x1B|5C", "\x1B|lA", "\x1B|2R", "\x1B|3E", "\x1B|rv",
        "\x1B|", "\x1B|12", "\x1B|cX"}) {
    EXPECT_EQ(Tr(sequence), sequence);
  }
}

TEST(EscapeTranslator, LineFeedsAndCuts) {
  EXPECT_EQ(Tr("\x1B|3lF"), "\n\n\n");
  EXPECT_EQ(Tr("\x1B|lF"), "\n");
  EXPECT_EQ(Tr("\x1B|4rF\x1B|sP"), "");
  EXPECT_EQ(Tr("\x1B|P\x1B|75P"), "\x1Bm\x1Bm");
  TranslateSettings settings = Thermal();
  settings.rec_lines_to_paper_cut = 3;
  EXPECT_EQ(Tr("\x1B|9fP", settings), "\n\n\n\x1Bm");
}

TEST(EscapeTranslator, FeedByUnitsOnBothModelsAndInEveryMapMode) {
  EXPECT_EQ(Tr("\x1B|20uF"), "\x1B\x33\x28\n\x1B\x33\x3C");
  EXPECT_EQ(Tr("\x1B|20uF", DotMatrix()), "\x1B\x33\x15\n\x1B\x33\x3C");
  EXPECT_EQ(Tr("\x1B|0uF"), "\x1B\x33\x01\n\x1B\x33\x3C");
  // 20 dots in each unit: 160 twips, 111 thousandths of an inch, 282 hundredths of a mm.
  for (auto [mode, value] : {std::pair{2, "160"}, {3, "111"}, {4, "282"}}) {
    TranslateSettings settings = Thermal();
    settings.map_mode = mode;
    EXPECT_EQ(Tr(std::string("\x1B|") + value + "uF", settings), "\x1B\x33\x28\n\x1B\x33\x3C")
        << "MapMode " << mode;
  }
  // 80 dots: one step and the final step, together 160 thermal units.
  EXPECT_EQ(Tr("\x1B|80uF"), "\x1B\x33\x50\n\x1B\x33\x50\n\x1B\x33\x3C");
  TranslateSettings rotated = Thermal();
  rotated.rotation_mode = 1;
  EXPECT_EQ(Tr("\x1B|80uF", rotated), "");
}

TEST(FeedUnits, StepsFeedTheWholeDistanceWithValuesInRange) {
  for (PrinterKind kind : {PrinterKind::kThermal, PrinterKind::kDotMatrix}) {
    for (int64_t dots = 0; dots <= 3000; ++dots) {
      std::string out;
      AppendFeedUnits(dots, kind, out);
      ASSERT_EQ(out.size(), FeedUnitsLength(dots));
      const size_t steps = (out.size() - 3) / 4;
      ASSERT_EQ(steps, dots > 50 ? static_cast<size_t>(dots / 50 + 1) : 1u);
      int64_t total = 0;
      for (size_t i = 0; i < steps; ++i) {
        const auto value = static_cast<uint8_t>(out[i * 4 + 2]);
        ASSERT_GE(value, 1);
        total += value;
      }
      ASSERT_EQ(out.substr(out.size() - 3), "\x1B\x33\x3C");
      ASSERT_EQ(total, std::max<int64_t>(FeedUnitsTotal(dots, kind), 1)) << dots;
    }
  }
}

TEST(EscapeTranslator, LogosInsertedAsStored) {
  TranslateSettings settings = Thermal();
  settings.top_logo = "\x1B\x61\x31TOP\n";
  settings.bottom_logo = "BYE\n";
  EXPECT_EQ(Tr("\x1B|tLx\x1B|bL", settings), "\x1B\x61\x31TOP\nxBYE\n");
  EXPECT_EQ(Tr("\x1B|tL"), "");
}

TEST(EscapeTranslator, ZeroByteEndsTheData) {
  EXPECT_EQ(Tr(std::string_view("AB\0\x1B|2CCD", 8)), "AB");
  // Also far into long data, in text, between sequences and inside one.
  const std::string line = "\x1B|cA\x1B|bCTOTAL\x1B|N 12.34\x1B|2Cx\x1B|1C\n";
  std::string head;
  while (head.size() < 300) head += line;
  for (const std::string_view cut : {"text", "\x1B|bC", "\x1B|", "\x1B|2", "\x1B|r", "\x1B|rv"}) {
    const std::string prefix = head + std::string(cut);
    const std::string data = prefix + '\0' + "C\x1B|2Cmore\n" + head;
    EXPECT_EQ(Tr(data), Tr(prefix)) << cut;
  }
}

TEST(EscapeTranslator, OversizedResultRefusedWithoutTouchingState) {
  EscapeTranslator translator;
  translator.Translate("abc", Thermal());
  TranslateSettings settings = Thermal();
  settings.output_limit = 10;
  EXPECT_EQ(translator.Translate("0123456789", settings).bytes, "0123456789");
  std::string out = "kept";
  EXPECT_EQ(translator.TranslateAppend("0123456789\n", settings, out), kIllegal);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(translator.columns().carried_column, 13);
  EXPECT_EQ(translator.widest_line(), 0);
  // Sequences that would produce far more than the limit are refused, not built.
  EXPECT_EQ(translator.Translate("\x1B|99999999999lF", Thermal()).result, kIllegal);
  EXPECT_EQ(translator.Translate("\x1B|2000000000uF", Thermal()).result, kIllegal);
  EXPECT_TRUE(translator.Translate(std::string(kMaxPrintData, 'a'), Thermal()).ok());
  EXPECT_EQ(translator.Translate(std::string(kMaxPrintData, 'a') + "\x1B|lF", Thermal()).result,
            kIllegal);
}

// Long data is scanned in blocks, a short line byte by byte. Lines that end in the modes they
// start in must translate the same either way, whichever block boundary their sequences
// straddle, and right up to the output limit.
TEST(EscapeTranslator, LongDataTranslatesLikeItsLinesOneByOne) {
  const std::string lines[] = {
      "\x1B|cA\x1B|bCTOTAL\x1B|N 12.34\x1B|2Cx\x1B|1C\x1B|3hCy\x1B|1hC\x1B|uCz\x1B|N\n",
      "\x1B|rvCinverse\x1B|N\x1B|X\x1B|\x1BQ\x1B|75qZ\r\n",
      "plain text of a receipt line, forty-one\n",
      "\x1B|N\x1B|N\x1B|N\x1B|N\x1B|N\n",
  };
  for (const std::string& line : lines) {
    const std::string one = Tr(line);
    for (size_t repeats : {3u, 50u, 700u}) {
      std::string data;
      std::string expected;
      for (size_t i = 0; i < repeats; ++i) {
        data += line;
        expected += one;
      }
      EscapeTranslator translator;
      TranslateSettings settings = Thermal();
      settings.output_limit = expected.size();
      EXPECT_EQ(translator.Translate(data, settings).bytes, expected) << line;
      EXPECT_EQ(translator.columns().carried_column, 0);
      settings.output_limit = expected.size() - 1;
      EXPECT_EQ(translator.Translate(data, settings).result, kIllegal) << line;
    }
  }
}

}  // namespace
}  // namespace print_data
