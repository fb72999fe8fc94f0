#include "mono_bmp_writer.h"

#include <QSaveFile>

namespace imprex {

namespace {

void Put16(std::string& out, uint32_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

constexpr uint32_t kHeaderBytes = 14 + 40 + 2 * 4;
constexpr uint32_t kDotsPerMetre = 7087;  // 180 dots per inch

}  // namespace

std::string EncodeMonoBmp(const MonoLogo& logo) {
  const uint32_t stride = ((uint32_t(logo.width) + 31) / 32) * 4;
  const uint32_t pixel_bytes = stride * uint32_t(logo.height);
  std::string out;
  out.reserve(kHeaderBytes + pixel_bytes);
  out += "BM";
  Put32(out, kHeaderBytes + pixel_bytes);
  Put32(out, 0);
  Put32(out, kHeaderBytes);
  Put32(out, 40);
  Put32(out, uint32_t(logo.width));
  Put32(out, uint32_t(logo.height));  // positive: rows bottom-up
  Put16(out, 1);                      // planes
  Put16(out, 1);                      // bits per pixel
  Put32(out, 0);                      // no compression
  Put32(out, pixel_bytes);
  Put32(out, kDotsPerMetre);
  Put32(out, kDotsPerMetre);
  Put32(out, 2);  // colours used
  Put32(out, 2);  // colours important
  Put32(out, 0x00000000);  // index 0: black, printed
  Put32(out, 0x00FFFFFF);  // index 1: white, paper
  for (int y = logo.height - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < logo.width; ++x) {
      if (!logo.Printed(x, y)) row[size_t(x) >> 3] = char(row[size_t(x) >> 3] | (0x80 >> (x & 7)));
    }
    out += row;
  }
  return out;
}

bool FitsDownloadArea(const MonoLogo& logo) {
  const int x = (logo.width + 7) / 8, y = (logo.height + 7) / 8;
  return x >= 1 && y >= 1 && x <= 255 && y <= 48 && x * y <= 1536;
}

QString SaveMonoBmp(const MonoLogo& logo, const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return QStringLiteral("%1 cannot be written: %2.").arg(path, file.errorString());
  }
  const std::string bytes = EncodeMonoBmp(logo);
  if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.commit()) {
    return QStringLiteral("%1 cannot be written: %2.").arg(path, file.errorString());
  }
  return QString();
}

}  // namespace imprex
