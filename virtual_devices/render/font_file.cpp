#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "virtual_devices/bitmap_font.h"

namespace vdev {
namespace {

constexpr size_t kMaxFontFileBytes = 16 * 1024 * 1024;  // far above any real bitmap font

// Reads a gzip file, or a plain one (zlib passes it through), refusing oversized input.
bool ReadMaybeGzip(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = path + ": cannot open (" + std::strerror(errno) + ")";
    return false;
  }
  out.clear();
  uint8_t chunk[65536];
  for (;;) {
    const int n = gzread(file, chunk, sizeof chunk);
    if (n < 0) {
      int code = 0;
      error = path + ": cannot decompress (" + gzerror(file, &code) + ")";
      gzclose(file);
      return false;
    }
    if (n == 0) break;
    out.insert(out.end(), chunk, chunk + n);
    if (out.size() > kMaxFontFileBytes) {
      error = path + ": too large for a bitmap font";
      gzclose(file);
      return false;
    }
  }
  gzclose(file);
  return true;
}

}  // namespace

FontLoad LoadFontFile(const std::string& path) {
  std::vector<uint8_t> data;
  std::string error;
  if (!ReadMaybeGzip(path, data, error)) return {std::nullopt, error};
  if (data.size() >= 4 && data[0] == 0x01 && data[1] == 'f' && data[2] == 'c' && data[3] == 'p')
    return ParsePcf(data, path);
  if (data.size() >= 4 && data[0] == 0x72 && data[1] == 0xb5 && data[2] == 0x4a && data[3] == 0x86)
    return ParsePsf2(data, path);
  return {std::nullopt, path + ": neither a PSF2 nor a PCF font"};
}

}  // namespace vdev
