#include "test_pictures.h"

#include <QBuffer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace imprex::testing {

namespace {
uint32_t Crc32(const QByteArray& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char c : bytes) {
    crc ^= uint8_t(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}
void Be32(QByteArray& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.append(char((v >> shift) & 0xFF));
}
void Le(QByteArray& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}
}  // namespace

QImage Gradient(int height) {
  QImage image(512, height, QImage::Format_Grayscale8);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < 512; ++x) row[x] = uchar(x / 2);
  }
  return image;
}

QImage SyntheticPhoto(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height * 0.6);
  sky.setColorAt(0, QColor(30, 90, 200));
  sky.setColorAt(1, QColor(250, 200, 150));
  p.fillRect(QRectF(0, 0, width, height), sky);
  QRadialGradient sun(width * 0.75, height * 0.25, height * 0.15);
  sun.setColorAt(0, QColor(255, 255, 200));
  sun.setColorAt(1, QColor(255, 160, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(sun);
  p.drawEllipse(QPointF(width * 0.75, height * 0.25), height * 0.15, height * 0.15);
  p.setBrush(QColor(40, 140, 60));
  p.drawEllipse(QPointF(width * 0.25, height * 1.05), width * 0.5, height * 0.45);
  p.setBrush(QColor(20, 100, 40));
  p.drawEllipse(QPointF(width * 0.85, height * 1.1), width * 0.45, height * 0.4);
  for (int i = 0; i < 8; ++i) {  // awning stripes
    p.setBrush(i % 2 ? QColor(255, 255, 255) : QColor(200, 30, 40));
    p.drawRect(QRectF(width * 0.05 + i * width * 0.05, height * 0.45, width * 0.05, height * 0.1));
  }
  p.setBrush(QColor(160, 20, 20));
  p.drawRect(QRectF(width * 0.08, height * 0.58, width * 0.3, height * 0.18));
  p.setBrush(QColor(250, 230, 60));
  p.drawEllipse(QPointF(width * 0.23, height * 0.67), height * 0.06, height * 0.06);
  p.end();
  // The top-left corner is see-through, fading in.
  for (int y = 0; y < height / 4; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width / 4; ++x) {
      const int alpha = std::min(255, (x + y) * 255 / (width / 4));
      row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), alpha);
    }
  }
  return image;
}

QImage OneBitPattern(int width, int height) {
  QImage image(width, height, QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, ((x * 7 + y * 13) % 11) < 4 ? 1 : 0);
  return image;
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, quality);
  return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ForgedPngHeader(int width, int height) {
  QByteArray png("\x89PNG\r\n\x1A\n", 8);
  QByteArray ihdr("IHDR");
  Be32(ihdr, uint32_t(width));
  Be32(ihdr, uint32_t(height));
  ihdr.append("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  Be32(png, 13);
  png += ihdr;
  Be32(png, Crc32(ihdr));
  QByteArray idat("IDAT");
  idat.append(QByteArray(16, '\x55'));
  Be32(png, 16);
  png += idat;
  Be32(png, Crc32(idat));
  return png;
}

QByteArray ForgedBmpHeader(int width, int height) {
  QByteArray bmp("BM");
  Le(bmp, 54 + 64, 4);
  Le(bmp, 0, 4);
  Le(bmp, 54, 4);
  Le(bmp, 40, 4);
  Le(bmp, uint32_t(width), 4);
  Le(bmp, uint32_t(height), 4);
  Le(bmp, 1, 2);
  Le(bmp, 24, 2);
  Le(bmp, 0, 4);
  Le(bmp, 0, 4);
  Le(bmp, 2835, 4);
  Le(bmp, 2835, 4);
  Le(bmp, 0, 4);
  Le(bmp, 0, 4);
  bmp.append(QByteArray(64, '\x7F'));
  return bmp;
}

}  // namespace imprex::testing
