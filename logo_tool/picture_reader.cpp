#include "picture_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cstdlib>

namespace imprex {

namespace {

// Files larger than this are not read at all.
constexpr qint64 kMaxFileBytes = 256ll << 20;
// Qt's own ceiling for one decoded image, in MiB: 50 million pixels at four bytes each.
constexpr int kDecodeLimitMb = 200;

bool KnownFormat(const QByteArray& format) {
  return format == "png" || format == "jpeg" || format == "jpg" || format == "bmp";
}

// A JPEG ends with the end-of-image marker FF D9 after its last scan; libjpeg fills a cut
// file with grey and only warns, so a missing marker is the sign of a truncated file.
bool JpegLooksComplete(const QByteArray& bytes) {
  const qsizetype last_scan = bytes.lastIndexOf(QByteArray("\xFF\xDA", 2));
  return last_scan >= 0 && bytes.indexOf(QByteArray("\xFF\xD9", 2), last_scan) >= 0;
}

Picture Fail(const QString& text) { return {QImage(), text}; }

uint32_t Le(const QByteArray& b, qsizetype at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | uint8_t(b[at + i]);
  return v;
}
uint32_t Be32(const QByteArray& b, qsizetype at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
         uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

// What the header of a PNG or BMP file claims, read without the decoder: its size, and for
// an uncompressed BMP whether the pixel rows it promises are all in the file. Unknown
// formats and headers too short to tell give no size.
struct Header {
  qint64 width = -1, height = -1;
  bool cut_short = false;
};

Header ReadHeader(const QByteArray& b, const QByteArray& format) {
  Header h;
  if (format == "png" && b.size() >= 24 && b.mid(12, 4) == "IHDR") {
    h.width = Be32(b, 16);
    h.height = Be32(b, 20);
  } else if (format == "bmp" && b.size() >= 26) {
    const uint32_t header = Le(b, 14, 4);
    int bits = 0;
    uint32_t compression = 0;
    if (header == 12) {
      h.width = Le(b, 18, 2);
      h.height = Le(b, 20, 2);
      bits = b.size() >= 26 ? int(Le(b, 24, 2)) : 0;
    } else if (header >= 40 && b.size() >= 34) {
      h.width = int32_t(Le(b, 18, 4));
      h.height = std::abs(qint64(int32_t(Le(b, 22, 4))));
      bits = int(Le(b, 28, 2));
      compression = Le(b, 30, 4);
    }
    if (h.width > 0 && h.height > 0 && h.width <= kMaxPictureSide && h.height <= kMaxPictureSide &&
        bits > 0 && bits <= 64 && (compression == 0 || compression == 3)) {
      const qint64 stride = (h.width * bits + 31) / 32 * 4;
      h.cut_short = qint64(Le(b, 10, 4)) + stride * h.height > b.size();
    }
  }
  return h;
}

QString TooLarge(const QString& name, qint64 width, qint64 height) {
  return QStringLiteral("%1 is too large: %2 x %3 pixels (at most %4 pixels a side and "
                        "%5 million pixels).")
      .arg(name)
      .arg(width)
      .arg(height)
      .arg(kMaxPictureSide)
      .arg(kMaxPicturePixels / 1'000'000);
}

bool WithinLimits(qint64 width, qint64 height) {
  return width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

}  // namespace

Picture ReadPictureData(const QByteArray& bytes, const QString& name) {
  QImageReader::setAllocationLimit(kDecodeLimitMb);
  if (bytes.isEmpty()) return Fail(QStringLiteral("%1 is empty.").arg(name));

  QByteArray data = bytes;  // shared, not copied
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);  // photos taken upright stay upright
  const QByteArray format = reader.format();
  if (!KnownFormat(format)) {
    return Fail(QStringLiteral("%1 is not a picture Imprex can read (PNG, JPEG or BMP).").arg(name));
  }

  // The header is checked before the decoder sees it, so that a forged size never turns
  // into an allocation.
  const Header header = ReadHeader(bytes, format);
  if (header.width == 0 || header.height == 0) {
    return Fail(QStringLiteral("%1 has no pixels (%2 x %3).").arg(name).arg(header.width).arg(header.height));
  }
  if (header.width > 0 && !WithinLimits(header.width, header.height)) {
    return Fail(TooLarge(name, header.width, header.height));
  }
  if (header.cut_short) return Fail(QStringLiteral("%1 is cut short (pixel rows are missing).").arg(name));

  const QSize size = reader.size();
  if (!size.isValid()) {
    return Fail(QStringLiteral("%1 could not be read: %2.").arg(name, reader.errorString()));
  }
  if (size.isEmpty()) {
    return Fail(QStringLiteral("%1 has no pixels (%2 x %3).").arg(name).arg(size.width()).arg(size.height()));
  }
  if (!WithinLimits(size.width(), size.height())) return Fail(TooLarge(name, size.width(), size.height()));
  if ((format == "jpeg" || format == "jpg") && !JpegLooksComplete(bytes)) {
    return Fail(QStringLiteral("%1 is cut short (the JPEG data ends early).").arg(name));
  }

  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    return Fail(QStringLiteral("%1 could not be read: %2.").arg(name, reader.errorString()));
  }
  if (image.size() != size && image.size() != size.transposed()) {  // turned upright
    // A reader that decodes a different size than its header promised: not trusted.
    return Fail(QStringLiteral("%1 is damaged (its size does not match its header).").arg(name));
  }
  return {image, QString()};
}

Picture ReadPictureFile(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Fail(QStringLiteral("%1 cannot be opened: %2.").arg(path, file.errorString()));
  }
  if (file.size() > kMaxFileBytes) {
    return Fail(QStringLiteral("%1 is too large a file (%2 MiB; at most %3 MiB).")
                    .arg(name)
                    .arg(file.size() >> 20)
                    .arg(kMaxFileBytes >> 20));
  }
  return ReadPictureData(file.readAll(), name);
}

}  // namespace imprex
