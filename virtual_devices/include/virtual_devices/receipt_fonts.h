// The two printer fonts: font A 12x24 (Terminus, PSF2) and font B 9x17 (misc-fixed 9x18
// with its bottom row cut), read from the Debian font packages at run time.
#pragma once

#include <string>
#include <vector>

#include "virtual_devices/bitmap_font.h"

namespace vdev {

struct FontPaths {
  // Each list is tried in order; the first file that loads is used.
  std::vector<std::string> font_a = {
      "/usr/share/consolefonts/Uni2-Terminus24x12.psf.gz",
      "/usr/share/consolefonts/Uni3-Terminus24x12.psf.gz",
      "/usr/share/consolefonts/Lat15-Terminus24x12.psf.gz",
  };
  std::vector<std::string> font_b = {
      "/usr/share/fonts/X11/misc/9x18.pcf.gz",
      "/usr/share/fonts/X11/misc/9x18-ISO8859-1.pcf.gz",
  };
};

struct ReceiptFonts {
  BitmapFont font_a = BitmapFont::Placeholder(12, 24, "placeholder 12x24");
  BitmapFont font_b = BitmapFont::Placeholder(9, 17, "placeholder 9x17");
  std::vector<std::string> problems;  // one message per font that fell back to boxes
};

// Never fails: a font that cannot be loaded (or has the wrong cell size) is replaced by
// placeholder boxes of the right size and the reason is listed in `problems`.
ReceiptFonts LoadReceiptFonts(const FontPaths& paths = {});

}  // namespace vdev
