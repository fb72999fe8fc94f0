#include "virtual_devices/receipt_fonts.h"

#include <utility>

namespace vdev {
namespace {

struct Wanted {
  int width, height;
};

// The first file of `candidates` that loads with the expected cell; `crop_to` cuts rows.
bool LoadFirst(const std::vector<std::string>& candidates, Wanted loaded, int crop_to,
               BitmapFont& out, std::vector<std::string>& problems, const char* role) {
  std::string reasons;
  for (const std::string& path : candidates) {
    FontLoad load = LoadFontFile(path);
    if (!load.font) {
      reasons += (reasons.empty() ? "" : "; ") + load.error;
      continue;
    }
    if (load.font->width() != loaded.width || load.font->height() != loaded.height) {
      reasons += (reasons.empty() ? "" : "; ") + path + ": cell is " +
                 std::to_string(load.font->width()) + "x" + std::to_string(load.font->height()) +
                 ", expected " + std::to_string(loaded.width) + "x" + std::to_string(loaded.height);
      continue;
    }
    // misc-fixed 9x18 leaves its bottom row empty except for a few descenders; that is
    // the row a 17-dot font does without.
    if (crop_to < load.font->height()) load.font->CropRows(0, crop_to);
    out = std::move(*load.font);
    return true;
  }
  problems.push_back(std::string(role) + " unavailable, printing boxes instead: " +
                     (reasons.empty() ? "no font file configured" : reasons));
  return false;
}

}  // namespace

ReceiptFonts LoadReceiptFonts(const FontPaths& paths) {
  ReceiptFonts fonts;
  LoadFirst(paths.font_a, {12, 24}, 24, fonts.font_a, fonts.problems, "font A (12x24)");
  LoadFirst(paths.font_b, {9, 18}, 17, fonts.font_b, fonts.problems, "font B (9x17)");
  return fonts;
}

}  // namespace vdev
