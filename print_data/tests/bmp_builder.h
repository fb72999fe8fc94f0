// Builds bitmap files in memory for tests and benchmarks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace print_data::testing {

struct BmpLayout {
  int32_t width = 8;
  int32_t height = 8;
  uint16_t bits_per_pixel = 1;
  uint32_t compression = 0;
  uint32_t header_size = 40;  // 12 core, 40 info, 108 or 124 newer info headers
  bool top_down = false;
  // Palette colours (0xRRGGBB) of index 0 and 1.
  std::array<uint32_t, 2> palette = {0xFFFFFF, 0x000000};
  // Whether the pixel at (x, y), y from the top, has palette index 1.
  std::function<bool(int32_t x, int32_t y)> pixel = [](int32_t, int32_t) { return false; };
};

// A complete file. For depths other than 1 the pixels are all zero bytes.
std::string BuildBmp(const BmpLayout& layout);

void PutU16(std::string& bytes, size_t at, uint32_t value);
void PutU32(std::string& bytes, size_t at, uint32_t value);

}  // namespace print_data::testing
