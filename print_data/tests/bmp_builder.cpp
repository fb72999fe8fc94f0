#include "bmp_builder.h"

namespace print_data::testing {

void PutU16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
  PutU16(bytes, at, value & 0xFFFF);
  PutU16(bytes, at + 2, value >> 16);
}

std::string BuildBmp(const BmpLayout& layout) {
  const bool core = layout.header_size == 12;
  const size_t masks = (!core && layout.header_size == 40 && layout.compression == 3) ? 12 : 0;
  const size_t entry = core ? 3 : 4;
  const size_t colours = layout.bits_per_pixel <= 8 ? (size_t{1} << layout.bits_per_pixel) : 0;
  const size_t offset = 14 + layout.header_size + masks + colours * entry;
  const size_t stride = (static_cast<size_t>(layout.width) * layout.bits_per_pixel + 31) / 32 * 4;
  const size_t size = offset + stride * static_cast<size_t>(layout.height);

  std::string bmp(size, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutU32(bmp, 2, static_cast<uint32_t>(size));
  PutU32(bmp, 10, static_cast<uint32_t>(offset));
  PutU32(bmp, 14, layout.header_size);
  if (core) {
    PutU16(bmp, 18, static_cast<uint32_t>(layout.width));
    PutU16(bmp, 20, static_cast<uint32_t>(layout.height));
    PutU16(bmp, 22, 1);
    PutU16(bmp, 24, layout.bits_per_pixel);
  } else {
    PutU32(bmp, 18, static_cast<uint32_t>(layout.width));
    PutU32(bmp, 22, static_cast<uint32_t>(layout.top_down ? -layout.height : layout.height));
    PutU16(bmp, 26, 1);
    PutU16(bmp, 28, layout.bits_per_pixel);
    PutU32(bmp, 30, layout.compression);
  }
  for (size_t i = 0; i < colours && i < 2; ++i) {
    const size_t at = 14 + layout.header_size + masks + i * entry;
    const uint32_t rgb = layout.palette[i];
    bmp[at] = static_cast<char>(rgb & 0xFF);
    bmp[at + 1] = static_cast<char>((rgb >> 8) & 0xFF);
    bmp[at + 2] = static_cast<char>((rgb >> 16) & 0xFF);
  }
  if (layout.bits_per_pixel == 1) {
    for (int32_t y = 0; y < layout.height; ++y) {
      const int32_t stored = layout.top_down ? y : layout.height - 1 - y;
      for (int32_t x = 0; x < layout.width; ++x) {
        if (layout.pixel(x, y)) {
          bmp[offset + static_cast<size_t>(stored) * stride + static_cast<size_t>(x / 8)] |=
              static_cast<char>(0x80 >> (x % 8));
        }
      }
    }
  }
  return bmp;
}

}  // namespace print_data::testing
