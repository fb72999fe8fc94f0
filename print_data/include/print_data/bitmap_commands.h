// PrintBitmap and SetBitmap: the byte strings the methods hand to the send routine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "print_data/bitmap_image.h"
#include "print_data/bmp_reader.h"
#include "print_data/printer_kind.h"

namespace print_data {

// Column images the thermal printer's downloaded-image area holds.
inline constexpr int32_t kMaxImageByteColumns = 255;
inline constexpr int32_t kMaxImageColumnBytes = 48;
inline constexpr int32_t kMaxImageBytesProduct = 1536;
// Dot-matrix bit images: the width its column count carries, and a height bound.
inline constexpr int32_t kMaxDotMatrixImageWidth = 511;
inline constexpr int32_t kMaxDotMatrixImageHeight = 8192;

struct BitmapRequest {
  int32_t station = 2;
  std::string_view file_name;
  int32_t width = kBitmapAsIs;  // MapMode units or kBitmapAsIs
  int32_t alignment = -2;       // -1 left, -3 right, anything else centred
  PrinterKind kind = PrinterKind::kThermal;
  int32_t map_mode = 1;
  int32_t rec_line_width = 512;  // MapMode units
  int32_t rec_letter_quality = 0;
  int32_t rec_line_spacing = 30;  // for the dot-matrix spacing restored afterwards
};

// One hand-over to the send routine.
struct Handover {
  std::string bytes;
  bool more_follows = false;
};

struct BitmapPrint {
  int32_t result = 0;
  int32_t extended = 0;
  // In order; the last has more_follows clear. Empty on a refusal.
  std::vector<Handover> handovers;
  // Thermal: the downloaded-image area is overwritten, so no stored bitmap is in it any more.
  bool overwrites_download_area = false;
  bool ok() const { return result == 0; }
};

struct BitmapDownload {
  int32_t result = 0;
  int32_t extended = 0;
  std::string bytes;  // GS * x y and the column image
  bool normal_quality = true;
  bool cut_short = false;  // refused because the file's headers or pixels end too soon
  bool ok() const { return result == 0; }
};

// ESC a for a bitmap or barcode alignment.
std::string_view AlignmentCommand(int32_t alignment);

// PrintBitmap after its enabled and claimed checks: station, file name, reading, format,
// width and size checks, then the commands of the model.
BitmapPrint BuildPrintBitmap(const BitmapRequest& request);
// The same from an image already read (the file name is not used).
BitmapPrint BuildPrintBitmap(const BitmapRequest& request, const MonoBitmap& image);

// SetBitmap after its enabled and claimed checks: station, bitmap number, model, file name,
// reading and checks, then the download command.
BitmapDownload BuildSetBitmap(int32_t bitmap_number, const BitmapRequest& request);

}  // namespace print_data
