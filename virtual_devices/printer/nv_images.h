// The NV bit images stored in the printer when it leaves the factory; FS q replaces them.
#pragma once

#include <map>

#include "virtual_devices/print_ops.h"

namespace vdev::printer {

// Image 1: a 192 x 64 logo (a frame with a receipt symbol and three text bars).
// Image 2: a 128 x 32 test pattern (checkerboard of 8-dot squares).
std::map<int, Image> PresetNvImages();

// An image from column-major bit-image data (GS *, FS q): `columns` dot columns, each
// `bytes_per_column` bytes from top to bottom, most significant bit on top.
Image ImageFromColumns(const uint8_t* data, int columns, int bytes_per_column);

}  // namespace vdev::printer
