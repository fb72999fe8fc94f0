// A paper image: one byte per dot, white, black or red. Receipts grow downwards while
// they print, so the height can be extended; the width is fixed.
#pragma once

#include <cstdint>
#include <vector>

namespace vdev {

enum class Ink : uint8_t { White = 0, Black = 1, Red = 2 };

class Raster {
 public:
  Raster() = default;
  Raster(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // Out-of-range reads give White; out-of-range writes are dropped.
  Ink At(int x, int y) const;
  void Set(int x, int y, Ink ink);
  void FillRect(int x, int y, int w, int h, Ink ink);
  // Grows the raster (white) so that row y - 1 exists. Never shrinks.
  void EnsureHeight(int height);
  // Copies the non-white dots of `src` with its top left corner at (x, y).
  void Overlay(const Raster& src, int x, int y);
  // The image turned by quarter turns counter-clockwise (0..3, taken modulo 4).
  Raster Rotated(int quarter_turns_ccw) const;

  // Bounding box of the non-white dots; all zero when there is no ink.
  struct Box {
    int x = 0, y = 0, width = 0, height = 0;
  };
  Box InkBox() const;
  Box InkBox(int x, int y, int w, int h) const;  // limited to a region
  int CountInk(Ink ink) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> dots_;
};

}  // namespace vdev
