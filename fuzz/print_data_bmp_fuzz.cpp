// Fuzzes the BMP reader and the conversion to printer images. The first two bytes pick the
// model, the requested width and the MapMode; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "print_data/bitmap_commands.h"
#include "print_data/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  using namespace print_data;
  const std::string_view file(reinterpret_cast<const char*>(data + 2), size - 2);
  BmpReadResult read = ReadBmp(file);
  if (!read.ok()) {
    if (read.result != kIllegal && read.result != kExtended) std::abort();
    return 0;
  }
  BitmapRequest request;
  request.kind = (data[0] & 1) ? PrinterKind::kDotMatrix : PrinterKind::kThermal;
  request.map_mode = 1 + ((data[0] >> 1) & 3);
  request.width = (data[0] & 0x80) ? kBitmapAsIs : static_cast<int32_t>(data[1]) * 4 - 8;
  request.rec_line_width = 7224;
  request.rec_letter_quality = (data[0] >> 3) & 1;
  BitmapPrint print = BuildPrintBitmap(request, read.image);
  if (print.ok() && print.handovers.empty()) std::abort();
  if (print.ok() && request.kind == PrinterKind::kThermal) {
    const std::string& download = print.handovers[0].bytes;
    const size_t x = static_cast<uint8_t>(download[2]);
    const size_t y = static_cast<uint8_t>(download[3]);
    if (download.size() != 4 + x * 8 * y || x * y > 1536) std::abort();
  }
  return 0;
}
