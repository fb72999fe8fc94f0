#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <random>
#include <vector>

#include "render_test_support.h"
#include "virtual_devices/code_pages.h"
#include "virtual_devices/receipt_fonts.h"
#include "virtual_devices/receipt_renderer.h"

namespace vdev {
namespace {

std::vector<uint8_t> Gunzip(const std::string& path) {
  std::vector<uint8_t> out;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return out;
  uint8_t chunk[4096];
  int n;
  while ((n = gzread(file, chunk, sizeof chunk)) > 0) out.insert(out.end(), chunk, chunk + n);
  gzclose(file);
  return out;
}

int InkCount(const BitmapFont& font, char32_t cp) {
  int n = 0;
  for (int y = 0; y < font.height(); ++y)
    for (int x = 0; x < font.width(); ++x) n += font.Dot(cp, x, y);
  return n;
}

bool SameGlyph(const BitmapFont& font, char32_t a, char32_t b) {
  for (int y = 0; y < font.height(); ++y)
    for (int x = 0; x < font.width(); ++x)
      if (font.Dot(a, x, y) != font.Dot(b, x, y)) return false;
  return true;
}

TEST(ReceiptFontsTest, LoadsTerminusAndMiscFixedAtPrinterSizes) {
  const ReceiptFonts fonts = LoadReceiptFonts();
  ASSERT_TRUE(fonts.problems.empty()) << fonts.problems.front();
  EXPECT_EQ(fonts.font_a.width(), 12);
  EXPECT_EQ(fonts.font_a.height(), 24);
  EXPECT_EQ(fonts.font_b.width(), 9);
  EXPECT_EQ(fonts.font_b.height(), 17);
  for (const BitmapFont* font : {&fonts.font_a, &fonts.font_b}) {
    EXPECT_EQ(InkCount(*font, U' '), 0) << font->name();
    EXPECT_GT(InkCount(*font, U'A'), 10) << font->name();
    EXPECT_FALSE(SameGlyph(*font, U'A', U'B')) << font->name();
    // Code page bytes reach the accented glyphs through the fonts' Unicode tables.
    EXPECT_TRUE(font->Has(CodePageToUnicode(kCodePagePc437, 0x81))) << font->name();    // ü
    EXPECT_TRUE(font->Has(CodePageToUnicode(kCodePageWpc1252, 0xFC))) << font->name();  // ü
    EXPECT_TRUE(SameGlyph(*font, CodePageToUnicode(kCodePagePc437, 0x81),
                          CodePageToUnicode(kCodePageWpc1252, 0xFC)));
  }
  // The 9x18 descenders still fit in 17 rows.
  EXPECT_GT(InkCount(fonts.font_b, U'g'), InkCount(fonts.font_b, U'o'));
}

TEST(CodePagesTest, TablesDifferWhereThePrinterDoes) {
  EXPECT_EQ(CodePageToUnicode(kCodePagePc437, 'A'), U'A');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc437, 0x9C), U'£');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc437, 0xE1), U'ß');
  EXPECT_EQ(CodePageToUnicode(kCodePageWpc1252, 0x80), U'€');
  EXPECT_EQ(CodePageToUnicode(kCodePageWpc1252, 0xE9), U'é');
  EXPECT_EQ(CodePageToUnicode(kCodePageWpc1252, 0x81), U'\uFFFD');
  EXPECT_EQ(CodePageToUnicode(7, 0x9C), U'£');  // unknown tables print as PC437
  // Every table CharacterSet selects: 850, 858 (850 with the euro), 860, 863, 865, user.
  EXPECT_EQ(CodePageToUnicode(kCodePagePc850, 0x9B), U'ø');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc850, 0xD5), U'ı');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc858, 0xD5), U'€');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc858, 0x9B), U'ø');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc860, 0x84), U'ã');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc863, 0x84), U'Â');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc865, 0x9D), U'Ø');
  EXPECT_EQ(CodePageToUnicode(kCodePagePc865, 0xAF), U'¤');
  EXPECT_EQ(CodePageToUnicode(kCodePageUserDefined, 0xC4), U' ');
  for (int page : {kCodePagePc850, kCodePagePc858, kCodePagePc860, kCodePagePc863,
                   kCodePagePc865, kCodePageUserDefined}) {
    EXPECT_TRUE(CodePageKnown(page)) << page;
    EXPECT_EQ(CodePageToUnicode(page, 'z'), U'z') << page;
  }
  EXPECT_EQ(CodePageToUnicode(kCodePagePc437, 0x1B), U'\uFFFD');
  EXPECT_EQ(DecodeToUtf8(kCodePageWpc1252, "\x80 5"), "€ 5");
}

// Every prefix of a real font file is refused cleanly (or, past the glyphs, accepted).
TEST(FontParserTest, TruncatedFilesAreRefusedWithoutCrashing) {
  const auto psf = Gunzip("/usr/share/consolefonts/Uni2-Terminus24x12.psf.gz");
  const auto pcf = Gunzip("/usr/share/fonts/X11/misc/9x18.pcf.gz");
  ASSERT_GT(psf.size(), 1000u);
  ASSERT_GT(pcf.size(), 1000u);
  for (size_t length : {size_t{0}, size_t{3}, size_t{31}, size_t{32}, psf.size() / 2}) {
    const FontLoad load = ParsePsf2(std::span(psf).first(length), "cut.psf");
    EXPECT_FALSE(load.font) << length;
    EXPECT_NE(load.error.find("cut.psf"), std::string::npos);
  }
  int refused = 0;
  for (size_t length = 0; length < pcf.size(); length += 97) {
    const FontLoad load = ParsePcf(std::span(pcf).first(length), "cut.pcf");
    refused += !load.font;
  }
  EXPECT_GT(refused, 0);
  EXPECT_FALSE(ParsePcf(std::span(pcf).first(pcf.size() / 2), "cut.pcf").font);
}

TEST(FontParserTest, CorruptHeadersAreRefused) {
  auto psf = Gunzip("/usr/share/consolefonts/Uni2-Terminus24x12.psf.gz");
  auto pcf = Gunzip("/usr/share/fonts/X11/misc/9x18.pcf.gz");
  ASSERT_FALSE(psf.empty());
  ASSERT_FALSE(pcf.empty());
  auto huge_glyph_count = psf;
  huge_glyph_count[18] = 0xFF;  // millions of glyphs claimed
  EXPECT_FALSE(ParsePsf2(huge_glyph_count, "x").font);
  auto huge_cell = psf;
  huge_cell[28] = 0xFF;  // 255 dots wide
  EXPECT_FALSE(ParsePsf2(huge_cell, "x").font);
  auto wild_offsets = pcf;
  for (size_t i = 0; i < 9; ++i) wild_offsets[8 + 16 * i + 12 + 3] = 0x7F;  // every table far away
  EXPECT_FALSE(ParsePcf(wild_offsets, "x").font);
  // Scribbling over the glyph data and tables still ends in a font or an error.
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    auto damaged = pcf;
    for (int i = 0; i < 50; ++i)
      damaged[8 + random() % (damaged.size() - 8)] = static_cast<uint8_t>(random());
    const FontLoad load = ParsePcf(damaged, "x");
    EXPECT_TRUE(load.font || !load.error.empty());
  }
}

TEST(FontFileTest, MissingOrCorruptFilesFallBackToVisibleBoxes) {
  test::TempDir dir;
  {
    std::ofstream garbage(dir / "garbage.psf.gz", std::ios::binary);
    garbage << "\x1f\x8b\x08\x00 not really gzip data at all";
  }
  EXPECT_FALSE(LoadFontFile(dir / "garbage.psf.gz").font);
  EXPECT_FALSE(LoadFontFile(dir / "absent.psf.gz").font);

  FontPaths paths;
  paths.font_a = {dir / "absent.psf.gz", dir / "garbage.psf.gz"};
  paths.font_b = {"/usr/share/consolefonts/Uni2-Terminus24x12.psf.gz"};  // wrong cell size
  const ReceiptFonts fonts = LoadReceiptFonts(paths);
  ASSERT_EQ(fonts.problems.size(), 2u);
  EXPECT_NE(fonts.problems[0].find("absent.psf.gz"), std::string::npos);
  EXPECT_NE(fonts.problems[0].find("garbage.psf.gz"), std::string::npos);
  EXPECT_NE(fonts.problems[1].find("expected 9x18"), std::string::npos);
  EXPECT_EQ(fonts.font_a.width(), 12);
  EXPECT_EQ(fonts.font_b.height(), 17);

  // The printer keeps printing: every character becomes a box of the right size.
  RendererOptions options;
  options.fonts = paths;
  ReceiptRenderer renderer(options);
  renderer.Print(test::Line("AB"));
  renderer.Finish();
  ASSERT_EQ(renderer.Receipts().size(), 1u);
  const Raster::Box ink = renderer.Receipts()[0].image.InkBox();
  EXPECT_GE(ink.width, 12 + 8);
  EXPECT_GE(ink.height, 20);
  EXPECT_EQ(renderer.Problems().size(), 2u);
}

}  // namespace
}  // namespace vdev
