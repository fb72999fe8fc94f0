#include "print_data/bitmap_image.h"

#include <algorithm>
#include <vector>

#include "print_data/map_mode.h"

namespace print_data {
namespace {

int32_t Round(double value) { return TruncateToInt(value + 0.5); }

// Source index under the centre of each of `target` cells spread over `source` pixels.
std::vector<int32_t> NearestIndexes(int32_t target, int32_t source) {
  std::vector<int32_t> indexes(static_cast<size_t>(target));
  for (int32_t i = 0; i < target; ++i) {
    indexes[static_cast<size_t>(i)] = static_cast<int32_t>(
        (2 * static_cast<int64_t>(i) + 1) * source / (2 * static_cast<int64_t>(target)));
  }
  return indexes;
}

}  // namespace

TargetSize ComputeTargetSize(PrinterKind kind, int32_t width, int32_t map_mode,
                             int32_t rec_letter_quality, int32_t image_width,
                             int32_t image_height) {
  TargetSize target;
  const double iw = image_width;
  const double ih = image_height;
  if (kind == PrinterKind::kThermal) {
    if (width == kBitmapAsIs) {
      target = {image_width, image_height, rec_letter_quality == 1};
    } else {
      const double m = (width / 2 - 1) * DotsPerUnit(map_mode);
      if (width < 256) {
        target = {Round(2 * m), Round(ih * m * 2 / iw), true};
      } else {
        target = {Round(m), Round(ih * m / iw), false};
      }
    }
  } else {
    if (width == kBitmapAsIs) {
      target = {image_width, (image_height + 1) / 2, true};
    } else {
      const double m = (static_cast<double>(width) - 1) * DotsPerUnit(map_mode);
      target = {Round(m), TruncateToInt((ih * m / iw + 1) / 2), true};
    }
  }
  if (target.width < 1) target.width = 0;
  if (target.height < 1) target.height = 1;
  return target;
}

std::string BuildColumnImage(const MonoBitmap& image, TargetSize target, size_t columns,
                             size_t bytes_per_column) {
  std::string out(columns * bytes_per_column, '\0');
  const std::vector<int32_t> source_x = NearestIndexes(target.width, image.width());
  const std::vector<int32_t> source_y = NearestIndexes(target.height, image.height());
  const size_t used_columns = std::min<size_t>(columns, static_cast<size_t>(target.width));
  const size_t used_rows =
      std::min<size_t>(bytes_per_column * 8, static_cast<size_t>(target.height));
  // Row by row keeps the source reads sequential; each row sets one bit per column.
  for (size_t y = 0; y < used_rows; ++y) {
    const uint8_t* row = image.Row(source_y[y]);
    const size_t byte = y / 8;
    const auto bit = static_cast<char>(0x80 >> (y % 8));
    char* column = out.data() + byte;
    for (size_t x = 0; x < used_columns; ++x, column += bytes_per_column) {
      if (image.Printed(row, source_x[x])) *column |= bit;
    }
  }
  return out;
}

}  // namespace print_data
