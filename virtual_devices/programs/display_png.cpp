#include "display_png.h"

#include "virtual_devices/png_writer.h"
#include "virtual_devices/receipt_fonts.h"

namespace vdev {
namespace {

constexpr int kScale = 2;
constexpr int kMargin = 6;  // dots around the character area, inside the frame
constexpr int kGapX = 2, kGapY = 4;

void Dot(Raster& raster, int x, int y) {
  raster.FillRect(x * kScale, y * kScale, kScale, kScale, Ink::Black);
}

}  // namespace

DisplayPng::DisplayPng() : font_(LoadReceiptFonts().font_b) {}

Raster DisplayPng::Draw(const VirtualDisplay& display) const {
  const int cell_w = font_.width(), cell_h = font_.height();
  const int w = 2 * kMargin + VirtualDisplay::kColumns * (cell_w + kGapX) - kGapX;
  const int h = 2 * kMargin + VirtualDisplay::kRows * (cell_h + kGapY) - kGapY;
  Raster raster(w * kScale, h * kScale);
  for (int x = 0; x < w; ++x) Dot(raster, x, 0), Dot(raster, x, h - 1);
  for (int y = 0; y < h; ++y) Dot(raster, 0, y), Dot(raster, w - 1, y);
  if (!display.PoweredOn()) return raster;
  const bool user_glyphs = display.UserCharactersSelected();
  const auto screen = display.Screen();
  for (int row = 0; row < VirtualDisplay::kRows; ++row) {
    for (int col = 0; col < VirtualDisplay::kColumns; ++col) {
      const auto code = static_cast<uint8_t>(screen[row][col]);
      const int left = kMargin + col * (cell_w + kGapX);
      const int top = kMargin + row * (cell_h + kGapY);
      const auto glyph = user_glyphs ? display.Glyph(code) : std::nullopt;
      if (glyph) {
        // Column bytes, bit 0x40 the top row; each glyph dot is one dot wide, two high.
        for (int c = 0; c < 5; ++c) {
          for (int r = 0; r < 7; ++r) {
            if ((*glyph)[c] & (0x40 >> r)) {
              Dot(raster, left + 2 + c, top + 1 + 2 * r);
              Dot(raster, left + 2 + c, top + 2 + 2 * r);
            }
          }
        }
        continue;
      }
      if (code == ' ') continue;
      const char32_t shown = (code >= 0x20 && code < 0x7F) ? code : U'?';
      for (int y = 0; y < cell_h; ++y) {
        for (int x = 0; x < cell_w; ++x) {
          if (font_.Dot(shown, x, y)) Dot(raster, left + x, top + y);
        }
      }
    }
  }
  return raster;
}

std::string DisplayPng::Write(const VirtualDisplay& display, const std::string& path) const {
  return WritePng(Draw(display), path);
}

}  // namespace vdev
