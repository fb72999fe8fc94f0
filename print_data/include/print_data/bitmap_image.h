// Sizing a bitmap for the printer and turning it into column images.
#pragma once

#include <cstdint>
#include <string>

#include "print_data/bmp_reader.h"
#include "print_data/printer_kind.h"

namespace print_data {

inline constexpr int32_t kBitmapAsIs = -11;  // PTR_BM_ASIS

struct TargetSize {
  int32_t width = 0;   // dots
  int32_t height = 0;  // dots
  // 1: the downloaded image prints dot for dot (GS / "0"); 0: quadruple (GS / "3").
  bool normal_quality = true;
};

// Target size in dots for a requested Width (MapMode units or kBitmapAsIs). Thermal: as is,
// or twice m = (Width / 2 - 1) printed normal below 256 units, m printed quadruple from 256.
// Dot-matrix: m = Width - 1, half the height (its dots are twice as tall). Rounding adds 0.5
// and truncates. A width under one dot gives width 0 (the caller refuses it); a height
// under one dot is raised to one.
TargetSize ComputeTargetSize(PrinterKind kind, int32_t width, int32_t map_mode,
                             int32_t rec_letter_quality, int32_t image_width, int32_t image_height);

// Column image of `image` scaled to target.width x target.height by nearest neighbour:
// `columns` dot columns left to right, each `bytes_per_column` bytes of eight dots from the
// top, most significant bit on top; dots beyond the target are blank. Target dot (x, y)
// shows the source pixel under its centre: ((2x + 1) * iw) / (2 * tw), likewise for y.
std::string BuildColumnImage(const MonoBitmap& image, TargetSize target, size_t columns,
                             size_t bytes_per_column);

}  // namespace print_data
