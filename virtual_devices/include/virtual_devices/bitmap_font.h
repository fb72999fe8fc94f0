// Fixed-cell bitmap fonts read at run time from the system's font packages (PSF2 console
// fonts, PCF X11 fonts, both usually gzip-compressed). Every glyph is stored in one cell
// of the font's size; characters the font lacks draw as '?' or as a visible box.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace vdev {

class BitmapFont {
 public:
  BitmapFont(int width, int height, std::string name);

  // A font whose every glyph is a hollow box: what prints when a font file is unusable.
  static BitmapFont Placeholder(int width, int height, std::string name);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::string& name() const { return name_; }
  size_t glyph_count() const { return glyph_count_; }

  // Adds a glyph (width*height dots, row-major, non-zero = ink) and returns its index.
  int AddGlyph(std::span<const uint8_t> dots);
  void MapCodePoint(char32_t code_point, int glyph_index);
  bool Has(char32_t code_point) const { return index_.count(code_point) != 0; }
  // The cell of `code_point`, or of '?' or a box when the font has no such glyph.
  bool Dot(char32_t code_point, int x, int y) const;
  // Keeps rows [first_row, first_row + rows) of every glyph (e.g. 9x18 -> 9x17).
  void CropRows(int first_row, int rows);

 private:
  int GlyphIndex(char32_t code_point) const;

  int width_;
  int height_;
  std::string name_;
  size_t glyph_count_ = 0;
  std::vector<uint8_t> dots_;  // glyph_count_ cells of width_ * height_
  std::unordered_map<char32_t, int> index_;
  int placeholder_ = -1;
};

struct FontLoad {
  std::optional<BitmapFont> font;
  std::string error;  // set when font is empty
};

// Parsers of a font held in memory (already decompressed). They check every offset and
// size against the data, so truncated or corrupt input gives an error, never a crash.
FontLoad ParsePsf2(std::span<const uint8_t> data, const std::string& name);
FontLoad ParsePcf(std::span<const uint8_t> data, const std::string& name);

// Reads a file, gzip-compressed or plain, and parses it as PSF2 or PCF by its magic.
FontLoad LoadFontFile(const std::string& path);

}  // namespace vdev
