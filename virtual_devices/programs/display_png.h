// Draws the customer display's screen as a PNG: two rows of twenty character cells, each
// character from a bitmap font of the system (misc-fixed 9x18 cut to 9x17), or from its
// user-defined 5x7 glyph when those are selected.
#pragma once

#include <string>

#include "virtual_devices/bitmap_font.h"
#include "virtual_devices/raster.h"
#include "virtual_devices/virtual_display.h"

namespace vdev {

class DisplayPng {
 public:
  DisplayPng();  // loads the font once; boxes stand in when it cannot be read
  Raster Draw(const VirtualDisplay& display) const;
  // Writes the screen to `path` (replaced in one step); empty on success, else the reason.
  std::string Write(const VirtualDisplay& display, const std::string& path) const;

 private:
  BitmapFont font_;
};

}  // namespace vdev
