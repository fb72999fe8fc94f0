#include "logo_conversion.h"

#include <QColor>
#include <algorithm>
#include <cmath>

namespace imprex {

QString LogoSize(QSize picture, const ConvertOptions& options, QSize& size) {
  if (picture.isEmpty()) return QStringLiteral("The picture has no pixels.");
  if (options.printer_width < 8) {
    return QStringLiteral("The receipt line must be at least 8 dots wide.");
  }
  if (options.width < 0) return QStringLiteral("The width must be a positive number of dots.");
  if (options.width > options.printer_width) {
    return QStringLiteral("A logo %1 dots wide does not fit the receipt line of %2 dots.")
        .arg(options.width)
        .arg(options.printer_width);
  }
  int width = options.width;
  if (width == 0) width = std::min(picture.width(), options.printer_width);
  const double height = std::round(double(picture.height()) * width / picture.width());
  if (height > kMaxLogoHeight) {
    return QStringLiteral("At %1 dots wide the logo would be %2 dots tall; at most %3.")
        .arg(width)
        .arg(qint64(height))
        .arg(kMaxLogoHeight);
  }
  size = QSize(width, std::max(1, int(height)));
  return QString();
}

std::vector<uint8_t> GreyAtSize(const QImage& picture, QSize size) {
  // Premultiplied scaling averages colour by coverage, so edges of transparent parts do not
  // darken; then the remaining transparency shows the white paper behind it.
  QImage scaled = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (scaled.size() != size) {
    scaled = scaled.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  std::vector<uint8_t> grey(size_t(size.width()) * size.height());
  for (int y = 0; y < size.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      const QRgb p = row[x];
      const int paper = 255 - qAlpha(p);
      const int r = qRed(p) + paper, g = qGreen(p) + paper, b = qBlue(p) + paper;
      grey[size_t(y) * size.width() + x] =
          uint8_t(std::clamp((r * 299 + g * 587 + b * 114 + 500) / 1000, 0, 255));
    }
  }
  return grey;
}

void AdjustLevels(std::vector<uint8_t>& grey, int brightness, int contrast) {
  brightness = std::clamp(brightness, -100, 100);
  contrast = std::clamp(contrast, -100, 100);
  if (brightness == 0 && contrast == 0) return;
  uint8_t table[256];
  for (int level = 0; level < 256; ++level) {
    const int adjusted =
        (level - 128) * (100 + contrast) / 100 + 128 + brightness * 255 / 100;
    table[level] = uint8_t(std::clamp(adjusted, 0, 255));
  }
  for (uint8_t& g : grey) g = table[g];
}

Conversion ConvertPicture(const QImage& picture, const ConvertOptions& options) {
  Conversion result;
  QSize size;
  result.error = LogoSize(picture.size(), options, size);
  if (!result.ok()) return result;
  std::vector<uint8_t> grey = GreyAtSize(picture, size);
  AdjustLevels(grey, options.brightness, options.contrast);
  result.logo.width = size.width();
  result.logo.height = size.height();
  result.logo.dots = Dither(grey, size.width(), size.height(), options.method, options.threshold);
  return result;
}

QImage LogoImage(const MonoLogo& logo) {
  QImage image(logo.width, logo.height, QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  for (int y = 0; y < logo.height; ++y) {
    uchar* row = image.scanLine(y);
    std::fill(row, row + image.bytesPerLine(), 0);
    for (int x = 0; x < logo.width; ++x) {
      if (logo.Printed(x, y)) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
  }
  return image;
}

}  // namespace imprex
