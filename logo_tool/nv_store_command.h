// The printer command that stores logos in the printer's non-volatile memory: FS q, which
// replaces every stored image; logo k (from 1) then prints with FS p k (DirectIO 111).
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "logo_conversion.h"

namespace imprex {

// What the command can carry: 1..1023 byte columns (8184 dots) and 1..288 bytes (2304 dots)
// a column, at most 255 images.
inline constexpr int kMaxNvWidth = 1023 * 8;
inline constexpr int kMaxNvHeight = 288 * 8;
inline constexpr size_t kMaxNvImages = 255;
// The NV image memory assumed unless told otherwise.
inline constexpr size_t kDefaultNvCapacity = 256 * 1024;

struct NvStoreCommand {
  std::string bytes;  // FS q n, then per logo xL xH yL yH and the column data
  size_t image_bytes = 0;  // the data part, counted against the NV memory
  QString error;
  bool ok() const { return error.isEmpty(); }
};

// Image data bytes one logo takes in NV memory.
size_t NvImageBytes(const MonoLogo& logo);

// Each logo is padded to whole bytes: width to a multiple of 8 dots, half the extra dots on
// each side so that a centred logo stays centred; height at the bottom. Column data: for
// each dot column, top to bottom, eight dots a byte, most significant bit on top.
NvStoreCommand BuildNvStoreCommand(const std::vector<MonoLogo>& logos,
                                   size_t capacity = kDefaultNvCapacity);

}  // namespace imprex
