// Reading a picture (PNG, JPEG or BMP of any depth) with Qt's image reader, with the size
// checked from the header before anything is decoded.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace imprex {

// Pictures larger than this are refused before decoding: a logo never needs more, and a
// forged header must not make the reader allocate gigabytes.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr qint64 kMaxPicturePixels = 50'000'000;

struct Picture {
  QImage image;   // null when reading failed
  QString error;  // why, in words for the user
  bool ok() const { return !image.isNull(); }
};

// Reads the file at `path`.
Picture ReadPictureFile(const QString& path);
// Reads a picture from bytes in memory (`name` only appears in messages).
Picture ReadPictureData(const QByteArray& bytes, const QString& name);

}  // namespace imprex
