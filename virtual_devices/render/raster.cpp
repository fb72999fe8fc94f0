#include "virtual_devices/raster.h"

#include <algorithm>

namespace vdev {

Raster::Raster(int width, int height) : width_(std::max(width, 0)), height_(std::max(height, 0)) {
  dots_.assign(static_cast<size_t>(width_) * height_, 0);
}

Ink Raster::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return Ink::White;
  return static_cast<Ink>(dots_[static_cast<size_t>(y) * width_ + x]);
}

void Raster::Set(int x, int y, Ink ink) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  dots_[static_cast<size_t>(y) * width_ + x] = static_cast<uint8_t>(ink);
}

void Raster::FillRect(int x, int y, int w, int h, Ink ink) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + w, width_), y1 = std::min(y + h, height_);
  // A rectangle wholly right of the raster would give a fill range that runs backwards.
  if (x0 >= x1) return;
  for (int row = y0; row < y1; ++row) {
    std::fill(dots_.begin() + static_cast<size_t>(row) * width_ + x0,
              dots_.begin() + static_cast<size_t>(row) * width_ + x1, static_cast<uint8_t>(ink));
  }
}

void Raster::EnsureHeight(int height) {
  if (height <= height_) return;
  height_ = height;
  dots_.resize(static_cast<size_t>(width_) * height_, 0);
}

void Raster::Overlay(const Raster& src, int x, int y) {
  for (int sy = 0; sy < src.height_; ++sy) {
    for (int sx = 0; sx < src.width_; ++sx) {
      const Ink ink = src.At(sx, sy);
      if (ink != Ink::White) Set(x + sx, y + sy, ink);
    }
  }
}

Raster Raster::Rotated(int quarter_turns_ccw) const {
  const int turns = ((quarter_turns_ccw % 4) + 4) % 4;
  if (turns == 0) return *this;
  if (turns == 2) {
    Raster out(width_, height_);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) out.Set(width_ - 1 - x, height_ - 1 - y, At(x, y));
    return out;
  }
  Raster out(height_, width_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      // A counter-clockwise quarter turn sends the top row to the left column, read upwards.
      if (turns == 1)
        out.Set(y, width_ - 1 - x, At(x, y));
      else
        out.Set(height_ - 1 - y, x, At(x, y));
    }
  }
  return out;
}

Raster::Box Raster::InkBox() const { return InkBox(0, 0, width_, height_); }

Raster::Box Raster::InkBox(int x, int y, int w, int h) const {
  int min_x = width_, min_y = height_, max_x = -1, max_y = -1;
  const int x1 = std::min(x + w, width_), y1 = std::min(y + h, height_);
  for (int row = std::max(y, 0); row < y1; ++row) {
    for (int col = std::max(x, 0); col < x1; ++col) {
      if (dots_[static_cast<size_t>(row) * width_ + col] == 0) continue;
      min_x = std::min(min_x, col);
      max_x = std::max(max_x, col);
      min_y = std::min(min_y, row);
      max_y = std::max(max_y, row);
    }
  }
  if (max_x < 0) return {};
  return {min_x, min_y, max_x - min_x + 1, max_y - min_y + 1};
}

int Raster::CountInk(Ink ink) const {
  return static_cast<int>(std::count(dots_.begin(), dots_.end(), static_cast<uint8_t>(ink)));
}

}  // namespace vdev
