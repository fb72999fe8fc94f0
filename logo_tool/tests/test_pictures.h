// Pictures made in code for the logo tool's tests.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace imprex::testing {

// Grey levels 0 (left) to 255 (right), one level per column pair: 512 x height.
QImage Gradient(int height = 64);
// A colourful outdoor scene: sky, sun, hills, a striped awning, a red sign and a
// transparent top-left corner.
QImage SyntheticPhoto(int width = 480, int height = 320);
// A one-bit picture of a repeating, irregular pattern.
QImage OneBitPattern(int width, int height);
// The picture encoded as "png", "jpg" or "bmp".
QByteArray Encode(const QImage& image, const char* format, int quality = 90);
// Writes bytes to a file; false on failure.
bool WriteFile(const QString& path, const QByteArray& bytes);
// A file header that claims width x height pixels, as the format writes it (PNG with a
// valid IHDR checksum, BMP with a 40-byte header), followed by a little pixel data.
QByteArray ForgedPngHeader(int width, int height);
QByteArray ForgedBmpHeader(int width, int height);

}  // namespace imprex::testing
