// PNG files of a raster: 1-bit greyscale when there is only black ink, otherwise a
// three-colour palette (white, black, red).
#pragma once

#include <string>

#include "virtual_devices/raster.h"

namespace vdev {

// Writes through a temporary file renamed into place, so a reader never sees half an
// image. Returns an empty string on success, otherwise the reason.
std::string WritePng(const Raster& raster, const std::string& path);

}  // namespace vdev
