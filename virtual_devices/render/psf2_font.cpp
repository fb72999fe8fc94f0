// PSF2 console fonts: a 32-byte header, glyph bitmaps (rows padded to whole bytes, most
// significant bit on the left), then an optional table of the code points of each glyph.
#include <string>

#include "byte_reader.h"
#include "virtual_devices/bitmap_font.h"

namespace vdev {
namespace {

constexpr uint32_t kPsf2Magic = 0x864ab572;
constexpr uint32_t kHasUnicodeTable = 0x01;
constexpr uint32_t kMaxCell = 64;
constexpr uint32_t kMaxGlyphs = 65536;

FontLoad Fail(const std::string& name, const std::string& why) {
  return {std::nullopt, name + ": " + why};
}

// One UTF-8 sequence; returns its length or 0 when it is malformed.
size_t DecodeUtf8(std::span<const uint8_t> s, size_t at, char32_t& out) {
  const uint8_t lead = s[at];
  size_t length = lead < 0x80         ? 1
                  : (lead >> 5) == 6  ? 2
                  : (lead >> 4) == 14 ? 3
                  : (lead >> 3) == 30 ? 4
                                      : 0;
  if (length == 0 || at + length > s.size()) return 0;
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((s[at + i] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (s[at + i] & 0x3F);
  }
  out = cp;
  return length;
}

void ReadUnicodeTable(std::span<const uint8_t> table, uint32_t glyphs, BitmapFont& font) {
  size_t at = 0;
  for (uint32_t glyph = 0; glyph < glyphs && at < table.size(); ++glyph) {
    bool in_sequence = false;  // 0xFE starts combining sequences, which we do not draw
    while (at < table.size() && table[at] != 0xFF) {
      if (table[at] == 0xFE) {
        in_sequence = true;
        ++at;
        continue;
      }
      char32_t cp = 0;
      const size_t length = DecodeUtf8(table, at, cp);
      if (length == 0) {
        ++at;
        continue;
      }
      if (!in_sequence) font.MapCodePoint(cp, static_cast<int>(glyph) + 1);
      at += length;
    }
    ++at;  // the 0xFF that ends this glyph's entry
  }
}

}  // namespace

FontLoad ParsePsf2(std::span<const uint8_t> data, const std::string& name) {
  ByteReader in(data);
  const uint32_t magic = in.U32(0, false);
  const uint32_t header_size = in.U32(8, false);
  const uint32_t flags = in.U32(12, false);
  const uint32_t glyphs = in.U32(16, false);
  const uint32_t glyph_bytes = in.U32(20, false);
  const uint32_t height = in.U32(24, false);
  const uint32_t width = in.U32(28, false);
  if (!in.ok()) return Fail(name, "file too short for a PSF2 header");
  if (magic != kPsf2Magic) return Fail(name, "not a PSF2 font");
  if (width == 0 || height == 0 || width > kMaxCell || height > kMaxCell)
    return Fail(name,
                "unsupported glyph size " + std::to_string(width) + "x" + std::to_string(height));
  const uint32_t row_bytes = (width + 7) / 8;
  if (glyph_bytes < row_bytes * height) return Fail(name, "glyph size does not match its cell");
  if (glyphs == 0 || glyphs > kMaxGlyphs) return Fail(name, "bad glyph count");
  if (header_size < 32 || !in.Has(header_size, static_cast<size_t>(glyphs) * glyph_bytes))
    return Fail(name, "file truncated: glyph data missing");

  BitmapFont font(static_cast<int>(width), static_cast<int>(height), name);
  std::vector<uint8_t> cell(static_cast<size_t>(width) * height);
  for (uint32_t g = 0; g < glyphs; ++g) {
    const uint8_t* bits = data.data() + header_size + static_cast<size_t>(g) * glyph_bytes;
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        cell[y * width + x] = (bits[y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
    font.AddGlyph(cell);  // glyph g gets index g + 1; index 0 is the placeholder box
  }
  const size_t table_start = header_size + static_cast<size_t>(glyphs) * glyph_bytes;
  if (flags & kHasUnicodeTable) {
    ReadUnicodeTable(data.subspan(table_start), glyphs, font);
  } else {
    // Without a table the glyph position is the character code (Latin-1 order).
    for (uint32_t g = 0; g < glyphs && g < 256; ++g) font.MapCodePoint(g, static_cast<int>(g) + 1);
  }
  return {std::move(font), {}};
}

}  // namespace vdev
