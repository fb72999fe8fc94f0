// Fuzzes the logo tool's picture reading (header checks, then Qt's PNG, JPEG and BMP
// decoders) and the conversion that follows. The first byte picks the dithering and the
// logo width; the rest is the file. A picture read must have a size within the limits,
// a refusal must say why, and the logo must fit the line.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "logo_conversion.h"
#include "picture_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  const imprex::Picture picture = imprex::ReadPictureData(file, "input");
  if (!picture.ok()) {
    if (picture.error.isEmpty()) std::abort();
    return 0;
  }
  const QSize s = picture.image.size();
  if (s.isEmpty() || s.width() > imprex::kMaxPictureSide || s.height() > imprex::kMaxPictureSide) {
    std::abort();
  }
  imprex::ConvertOptions options;
  options.method = imprex::DitherMethod(data[0] & 3);
  options.width = (data[0] >> 2) * 8;  // 0 (the picture's own) .. 504
  const imprex::Conversion conversion = imprex::ConvertPicture(picture.image, options);
  if (conversion.ok() &&
      (conversion.logo.width > options.printer_width ||
       conversion.logo.dots.size() != size_t(conversion.logo.width) * conversion.logo.height)) {
    std::abort();
  }
  return 0;
}
