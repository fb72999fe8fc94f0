#include "nv_images.h"

#include <cstdlib>

namespace vdev::printer {
namespace {

Image Blank(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(size_t(width) * height, 0);
  return image;
}

void FillRect(Image& image, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) image.pixels[size_t(y) * image.width + x] = 1;
}

Image Logo() {
  Image logo = Blank(192, 64);
  // Frame, 3 dots thick.
  FillRect(logo, 0, 0, 192, 3);
  FillRect(logo, 0, 61, 192, 64);
  FillRect(logo, 0, 0, 3, 64);
  FillRect(logo, 189, 0, 192, 64);
  // A receipt: a tall rectangle with a zigzag lower edge and ruled lines.
  FillRect(logo, 14, 10, 50, 12);
  FillRect(logo, 14, 10, 16, 50);
  FillRect(logo, 48, 10, 50, 50);
  for (int x = 14; x < 50; ++x) {
    const int tooth = std::abs(((x - 14) % 8) - 4);
    FillRect(logo, x, 50 + tooth, x + 1, 52 + tooth);
  }
  for (int y = 18; y < 44; y += 7) FillRect(logo, 20, y, 44, y + 2);
  // Three bars standing for the shop's name and address.
  FillRect(logo, 64, 14, 176, 24);
  FillRect(logo, 64, 32, 150, 38);
  FillRect(logo, 64, 44, 164, 50);
  logo.source = "FS p 1";
  return logo;
}

Image TestPattern() {
  Image pattern = Blank(128, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 128; ++x)
      pattern.pixels[size_t(y) * 128 + x] = ((x / 8) + (y / 8)) % 2 == 0;
  pattern.source = "FS p 2";
  return pattern;
}

}  // namespace

Image ImageFromColumns(const uint8_t* data, int columns, int bytes_per_column) {
  Image image = Blank(columns, bytes_per_column * 8);
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < bytes_per_column; ++r) {
      const uint8_t byte = data[size_t(c) * bytes_per_column + r];
      for (int bit = 0; bit < 8; ++bit)
        image.pixels[size_t(r * 8 + bit) * columns + c] = (byte >> (7 - bit)) & 1;
    }
  }
  return image;
}

std::map<int, Image> PresetNvImages() {
  static const std::map<int, Image> presets = {{1, Logo()}, {2, TestPattern()}};
  return presets;
}

}  // namespace vdev::printer
