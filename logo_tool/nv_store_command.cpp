#include "nv_store_command.h"

namespace imprex {

namespace {
int Bytes8(int dots) { return (dots + 7) / 8; }
}  // namespace

size_t NvImageBytes(const MonoLogo& logo) {
  return size_t(Bytes8(logo.width)) * Bytes8(logo.height) * 8;
}

NvStoreCommand BuildNvStoreCommand(const std::vector<MonoLogo>& logos, size_t capacity) {
  NvStoreCommand command;
  if (logos.empty() || logos.size() > kMaxNvImages) {
    command.error = QStringLiteral("Between 1 and %1 logos can be stored at once.").arg(kMaxNvImages);
    return command;
  }
  for (size_t i = 0; i < logos.size(); ++i) {
    const MonoLogo& logo = logos[i];
    if (logo.width < 1 || logo.height < 1 || logo.width > kMaxNvWidth ||
        logo.height > kMaxNvHeight) {
      command.error = QStringLiteral("Logo %1 is %2 x %3 dots; the printer stores logos of at "
                                     "most %4 x %5 dots.")
                          .arg(i + 1)
                          .arg(logo.width)
                          .arg(logo.height)
                          .arg(kMaxNvWidth)
                          .arg(kMaxNvHeight);
      return command;
    }
    command.image_bytes += NvImageBytes(logo);
  }
  if (command.image_bytes > capacity) {
    command.error = QStringLiteral("The logos need %1 bytes of NV memory; the printer has %2.")
                        .arg(command.image_bytes)
                        .arg(capacity);
    return command;
  }

  std::string& out = command.bytes;
  out.reserve(3 + logos.size() * 4 + command.image_bytes);
  out += "\x1C\x71";
  out.push_back(char(logos.size()));
  for (const MonoLogo& logo : logos) {
    const int x = Bytes8(logo.width), y = Bytes8(logo.height);
    out.push_back(char(x & 0xFF));
    out.push_back(char(x >> 8));
    out.push_back(char(y & 0xFF));
    out.push_back(char(y >> 8));
    const int left = (x * 8 - logo.width) / 2;
    for (int column = 0; column < x * 8; ++column) {
      const int source_x = column - left;
      for (int band = 0; band < y; ++band) {
        uint8_t byte = 0;
        if (source_x >= 0 && source_x < logo.width) {
          for (int bit = 0; bit < 8; ++bit) {
            const int source_y = band * 8 + bit;
            if (source_y < logo.height && logo.Printed(source_x, source_y)) byte |= 0x80 >> bit;
          }
        }
        out.push_back(char(byte));
      }
    }
  }
  return command;
}

}  // namespace imprex
