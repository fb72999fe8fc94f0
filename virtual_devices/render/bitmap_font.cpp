#include "virtual_devices/bitmap_font.h"

#include <algorithm>
#include <utility>

namespace vdev {

BitmapFont::BitmapFont(int width, int height, std::string name)
    : width_(width), height_(height), name_(std::move(name)) {
  // Box with a diagonal: unmistakable on paper as "no glyph here".
  std::vector<uint8_t> box(static_cast<size_t>(width_) * height_, 0);
  for (int y = 1; y < height_ - 1; ++y) {
    for (int x = 1; x < width_ - 1; ++x) {
      const bool edge = x == 1 || x == width_ - 2 || y == 1 || y == height_ - 2;
      const bool diagonal = x == 1 + (y - 1) * (width_ - 3) / std::max(height_ - 3, 1);
      box[static_cast<size_t>(y) * width_ + x] = edge || diagonal;
    }
  }
  placeholder_ = AddGlyph(box);
}

BitmapFont BitmapFont::Placeholder(int width, int height, std::string name) {
  return BitmapFont(width, height, std::move(name));
}

int BitmapFont::AddGlyph(std::span<const uint8_t> dots) {
  const size_t cell = static_cast<size_t>(width_) * height_;
  const size_t start = dots_.size();
  dots_.resize(start + cell, 0);
  std::copy_n(dots.begin(), std::min(cell, dots.size()), dots_.begin() + start);
  return static_cast<int>(glyph_count_++);
}

void BitmapFont::MapCodePoint(char32_t code_point, int glyph_index) {
  if (glyph_index < 0 || static_cast<size_t>(glyph_index) >= glyph_count_) return;
  index_.emplace(code_point, glyph_index);
}

int BitmapFont::GlyphIndex(char32_t code_point) const {
  auto it = index_.find(code_point);
  if (it != index_.end()) return it->second;
  it = index_.find(U'?');
  return it != index_.end() ? it->second : placeholder_;
}

bool BitmapFont::Dot(char32_t code_point, int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  if (code_point == U' ' && !Has(U' ')) return false;
  const size_t cell = static_cast<size_t>(width_) * height_;
  return dots_[GlyphIndex(code_point) * cell + static_cast<size_t>(y) * width_ + x] != 0;
}

void BitmapFont::CropRows(int first_row, int rows) {
  first_row = std::clamp(first_row, 0, height_);
  rows = std::clamp(rows, 0, height_ - first_row);
  const size_t old_cell = static_cast<size_t>(width_) * height_;
  const size_t new_cell = static_cast<size_t>(width_) * rows;
  std::vector<uint8_t> cropped(glyph_count_ * new_cell);
  for (size_t g = 0; g < glyph_count_; ++g) {
    std::copy_n(dots_.begin() + g * old_cell + static_cast<size_t>(first_row) * width_, new_cell,
                cropped.begin() + g * new_cell);
  }
  dots_ = std::move(cropped);
  height_ = rows;
}

}  // namespace vdev
