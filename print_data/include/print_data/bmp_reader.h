// Reading one-bit Windows bitmap files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "print_data/result.h"

namespace print_data {

// Sources larger than this are refused as too big before they are read.
inline constexpr uint64_t kMaxBmpFileBytes = 64ull << 20;
// Width and height beyond this are refused as too big.
inline constexpr int32_t kMaxBmpSide = 65535;

// A one-bit image as the file holds it: packed rows and the two palette entries.
class MonoBitmap {
 public:
  MonoBitmap() = default;
  MonoBitmap(int32_t width, int32_t height, bool top_down, std::vector<uint8_t> rows,
             std::array<bool, 2> index_printed);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // Row y counted from the top, packed most significant bit first.
  const uint8_t* Row(int32_t y) const {
    const int32_t stored = top_down_ ? y : height_ - 1 - y;
    return rows_.data() + static_cast<size_t>(stored) * stride_;
  }
  bool Printed(const uint8_t* row, int32_t x) const {
    return index_printed_[(row[x >> 3] >> (7 - (x & 7))) & 1];
  }
  bool Printed(int32_t x, int32_t y) const { return Printed(Row(y), x); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool top_down_ = false;
  size_t stride_ = 0;
  std::vector<uint8_t> rows_;
  std::array<bool, 2> index_printed_ = {false, true};
};

struct BmpReadResult {
  int32_t result = 0;    // 0, kIllegal or kExtended
  int32_t extended = 0;  // kExtBadFormat or kExtTooBig with kExtended
  // With kIllegal: the file opened, but its headers or pixel data end before it says.
  bool cut_short = false;
  MonoBitmap image;
  bool ok() const { return result == 0; }
};

// Parses a file's bytes: file header "BM", core (12-byte) or info (40 bytes and more)
// header, colour table, bottom-up or top-down rows padded to four bytes. Accepts one bit
// per pixel, uncompressed or bit fields. A palette colour other than white prints.
// Refusals: kIllegal for a short file or offsets and sizes outside it; kExtended with
// kExtBadFormat for another type, header, depth or compression; kExtended with kExtTooBig
// for a side over kMaxBmpSide.
BmpReadResult ReadBmp(std::string_view file);

// Reads the file at `path` and parses it; an unreadable file is kIllegal, one over
// kMaxBmpFileBytes kExtended with kExtTooBig.
BmpReadResult ReadBmpFile(const std::string& path);

}  // namespace print_data
