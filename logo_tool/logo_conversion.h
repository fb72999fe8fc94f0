// From a picture to a one-bit logo at printer resolution: sizing, white behind transparent
// parts, brightness and contrast, then dithering.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "dithering.h"

namespace imprex {

inline constexpr int kDefaultPrinterWidth = 512;
// A logo taller than this is refused (a receipt logo this long is a mistake).
inline constexpr int kMaxLogoHeight = 16384;

struct ConvertOptions {
  int printer_width = kDefaultPrinterWidth;  // dots in the receipt line (512 or 576)
  // Width of the logo in dots. 0: the picture keeps its width when it fits the line and is
  // scaled down to the line when it is wider. Never more than printer_width.
  int width = 0;
  DitherMethod method = DitherMethod::kFloydSteinberg;
  int threshold = 128;  // 1..255
  int brightness = 0;   // -100..100, added before dithering
  int contrast = 0;     // -100..100
};

// One byte a dot, row by row, 1 where the printer prints.
struct MonoLogo {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> dots;
  bool Printed(int x, int y) const { return dots[size_t(y) * width + x] != 0; }
  bool operator==(const MonoLogo&) const = default;
};

struct Conversion {
  MonoLogo logo;
  QString error;
  bool ok() const { return error.isEmpty(); }
};

// The logo's size in dots for a picture of `picture` pixels, or an error text.
QString LogoSize(QSize picture, const ConvertOptions& options, QSize& size);
// The picture scaled to `size` as grey levels 0..255 (0 black), transparent parts white.
std::vector<uint8_t> GreyAtSize(const QImage& picture, QSize size);
// Brightness and contrast, in place: level = (level - 128) * (100 + contrast) / 100 + 128
// + brightness * 255 / 100, kept within 0..255.
void AdjustLevels(std::vector<uint8_t>& grey, int brightness, int contrast);

// All steps at once.
Conversion ConvertPicture(const QImage& picture, const ConvertOptions& options);

// The logo as an image: black dots on white (Format_Mono).
QImage LogoImage(const MonoLogo& logo);

}  // namespace imprex
