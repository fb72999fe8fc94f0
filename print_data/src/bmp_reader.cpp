#include "print_data/bmp_reader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "print_data/result.h"

namespace print_data {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;

uint32_t U16(std::string_view bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
}
uint32_t U32(std::string_view bytes, size_t at) {
  return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

BmpReadResult Refuse(int32_t result, int32_t extended = 0) {
  BmpReadResult read;
  read.result = result;
  read.extended = extended;
  return read;
}

// The headers or the pixel data end before the file says they do.
BmpReadResult CutShort() {
  BmpReadResult read = Refuse(kIllegal);
  read.cut_short = true;
  return read;
}

}  // namespace

MonoBitmap::MonoBitmap(int32_t width, int32_t height, bool top_down, std::vector<uint8_t> rows,
                       std::array<bool, 2> index_printed)
    : width_(width),
      height_(height),
      top_down_(top_down),
      stride_((static_cast<size_t>(width) + 31) / 32 * 4),
      rows_(std::move(rows)),
      index_printed_(index_printed) {}

BmpReadResult ReadBmp(std::string_view file) {
  if (file.size() < kFileHeaderSize) return Refuse(kIllegal);
  if (U16(file, 0) != 0x4D42) return Refuse(kExtended, kExtBadFormat);
  const uint64_t file_size = U32(file, 2);
  const uint64_t pixel_offset = U32(file, 10);
  if (file_size > file.size()) return CutShort();
  if (pixel_offset < kFileHeaderSize + 4 || pixel_offset > file_size) return Refuse(kIllegal);
  const uint64_t header_size = U32(file, kFileHeaderSize);
  if (header_size > pixel_offset - kFileHeaderSize) return CutShort();

  const size_t h = kFileHeaderSize;
  int64_t width;
  int64_t height;
  uint32_t bits_per_pixel;
  uint32_t compression = 0;
  uint32_t colours_used = 0;
  uint64_t table_start = h + header_size;
  size_t entry_size = 4;
  if (header_size == kCoreHeaderSize) {
    width = U16(file, h + 4);
    height = U16(file, h + 6);
    bits_per_pixel = U16(file, h + 10);
    entry_size = 3;
  } else if (header_size >= kInfoHeaderSize) {
    width = static_cast<int32_t>(U32(file, h + 4));
    height = static_cast<int32_t>(U32(file, h + 8));
    bits_per_pixel = U16(file, h + 14);
    compression = U32(file, h + 16);
    colours_used = U32(file, h + 32);
    // The plain info header keeps its three bit-field masks in front of the colour table.
    if (header_size == kInfoHeaderSize && compression == 3) table_start += 12;
  } else {
    return Refuse(kExtended, kExtBadFormat);
  }
  if (bits_per_pixel != 1 || (compression != 0 && compression != 3)) {
    return Refuse(kExtended, kExtBadFormat);
  }
  const bool top_down = height < 0;
  height = std::llabs(height);
  if (width <= 0 || height == 0) return Refuse(kExtended, kExtBadFormat);
  if (width > kMaxBmpSide || height > kMaxBmpSide) return Refuse(kExtended, kExtTooBig);

  const uint64_t colours = colours_used == 1 ? 1 : 2;
  if (table_start + colours * entry_size > pixel_offset) return CutShort();
  const uint64_t stride = (static_cast<uint64_t>(width) + 31) / 32 * 4;
  const uint64_t pixel_bytes = stride * static_cast<uint64_t>(height);
  if (pixel_bytes > file_size - pixel_offset) return CutShort();

  // Palette entries are blue, green, red; only pure white stays blank. An index without an
  // entry has no colour and prints.
  std::array<bool, 2> printed = {true, true};
  for (uint64_t i = 0; i < colours; ++i) {
    const size_t at = table_start + i * entry_size;
    printed[i] =
        !(static_cast<uint8_t>(file[at]) == 0xFF && static_cast<uint8_t>(file[at + 1]) == 0xFF &&
          static_cast<uint8_t>(file[at + 2]) == 0xFF);
  }
  std::vector<uint8_t> rows(file.begin() + static_cast<ptrdiff_t>(pixel_offset),
                            file.begin() + static_cast<ptrdiff_t>(pixel_offset + pixel_bytes));
  BmpReadResult read;
  read.image = MonoBitmap(static_cast<int32_t>(width), static_cast<int32_t>(height), top_down,
                          std::move(rows), printed);
  return read;
}

BmpReadResult ReadBmpFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return Refuse(kIllegal);
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return Refuse(kIllegal);
  if (size > kMaxBmpFileBytes) return Refuse(kExtended, kExtTooBig);
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) return Refuse(kIllegal);
  return ReadBmp(bytes);
}

}  // namespace print_data
