#include "op_painter.h"

#include <algorithm>
#include <variant>

#include "virtual_devices/barcode_symbol.h"
#include "virtual_devices/code_pages.h"

namespace vdev {
namespace {

constexpr int kMaxPageNesting = 4;
constexpr int kAutoPageLength = 2048;  // rotated page whose length the area does not give
constexpr int kHriGap = 2;

uint8_t Clamp8(int value, int low, int high) {
  return static_cast<uint8_t>(std::clamp(value, low, high));
}

// Printers accept both 0/1/2 and the digits '0'/'1'/'2' for these parameters.
uint8_t DigitOrValue(uint8_t n) { return n >= '0' && n <= '9' ? n - '0' : n; }

struct Cell {
  char32_t code_point;
  const BitmapFont* font;
  TextStyle style;
  int width, height;
};

}  // namespace

OpPainter::OpPainter(const ReceiptFonts& fonts, const PaperGeometry& paper)
    : fonts_(fonts), paper_(paper) {
  const int columns = std::max(paper_.columns, 1);
  font_a_fits_ = paper_.kind == PrinterKind::Thermal ||
                 paper_.dots_per_line / columns >= fonts_.font_a.width();
}

const BitmapFont& OpPainter::Font(uint8_t font) const {
  if (!font_a_fits_) return fonts_.font_b;
  return (DigitOrValue(font) & 1) ? fonts_.font_b : fonts_.font_a;
}

Ink OpPainter::InkFor(uint8_t color) const {
  return paper_.kind == PrinterKind::DotMatrix && (DigitOrValue(color) & 1) ? Ink::Red : Ink::Black;
}

int AlignedX(Alignment alignment, int x0, int line_width, int width) {
  const int room = std::max(line_width - width, 0);
  switch (DigitOrValue(static_cast<uint8_t>(alignment))) {
    case 1:
      return x0 + room / 2;
    case 2:
      return x0 + room;
    default:
      return x0;
  }
}

int OpPainter::Paint(const PrintOp& op, Raster& paper, int x0, int line_width, int y) const {
  return PaintAt(op, paper, x0, line_width, y, 0);
}

int OpPainter::PaintAt(const PrintOp& op, Raster& paper, int x0, int line_width, int y,
                       int depth) const {
  if (const auto* line = std::get_if<TextLine>(&op))
    return PaintText(*line, paper, x0, line_width, y);
  if (const auto* feed = std::get_if<Feed>(&op)) return y + std::clamp(feed->dots, 0, kMaxFeedDots);
  if (const auto* image = std::get_if<Image>(&op))
    return PaintImage(*image, paper, x0, line_width, y);
  if (const auto* code = std::get_if<Barcode>(&op))
    return PaintBarcode(*code, paper, x0, line_width, y);
  if (const auto* page = std::get_if<PageBlock>(&op))
    return PaintPage(*page, paper, x0, line_width, y, depth);
  return y;
}

int OpPainter::PaintText(const TextLine& line, Raster& paper, int x0, int line_width, int y) const {
  const int spacing = std::clamp(line.line_spacing_dots, 0, kMaxFeedDots);
  std::vector<Cell> cells;
  for (const TextRun& run : line.runs) {
    TextStyle style = run.style;
    style.width = Clamp8(style.width, 1, 8);
    style.height = Clamp8(style.height, 1, 8);
    const BitmapFont& font = Font(style.font);
    // Blank space from a positioning command: a cell with no glyph.
    if (run.gap_dots > 0) cells.push_back({U' ', nullptr, style, std::min(run.gap_dots, 0xFFFF), 0});
    for (unsigned char byte : run.bytes) {
      cells.push_back({CodePageToUnicode(line.code_page, byte), &font, style,
                       font.width() * style.width, font.height() * style.height});
    }
  }
  if (cells.empty()) return y + spacing;

  // A line longer than the paper continues on the next line, as on the printer.
  size_t row_start = 0;
  while (row_start < cells.size()) {
    size_t row_end = row_start;
    int row_width = 0, row_height = 0;
    while (row_end < cells.size() &&
           (row_end == row_start || row_width + cells[row_end].width <= line_width)) {
      row_width += cells[row_end].width;
      row_height = std::max(row_height, cells[row_end].height);
      ++row_end;
    }
    paper.EnsureHeight(y + row_height);
    int x = AlignedX(line.alignment, x0, line_width, row_width);
    for (size_t i = row_start; i < row_end; ++i) {
      const Cell& c = cells[i];
      if (c.font == nullptr) {
        x += c.width;
        continue;
      }
      const int sx = c.style.width, sy = c.style.height;
      const int top = y + row_height - c.height;  // characters stand on a common baseline
      const Ink ink = InkFor(c.style.color);
      const Ink fg = c.style.reverse ? Ink::White : ink;
      if (c.style.reverse) paper.FillRect(x, top, c.width, c.height, ink);
      for (int gy = 0; gy < c.font->height(); ++gy) {
        for (int gx = 0; gx < c.font->width(); ++gx) {
          if (!c.font->Dot(c.code_point, gx, gy)) continue;
          paper.FillRect(x + gx * sx, top + gy * sy, sx, sy, fg);
          // Emphasis prints every dot a second time one dot column to the right.
          if (c.style.bold) paper.FillRect(x + (gx + 1) * sx, top + gy * sy, sx, sy, fg);
        }
      }
      const int underline = std::min<int>(DigitOrValue(c.style.underline), 2);
      if (underline > 0) paper.FillRect(x, top + c.height - underline, c.width, underline, fg);
      x += c.width;
    }
    y += std::max(spacing, row_height);
    row_start = row_end;
  }
  return y;
}

int OpPainter::PaintImage(const Image& image, Raster& paper, int x0, int line_width, int y) const {
  if (image.width <= 0 || image.height <= 0 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    return y;  // malformed: the transcript says so
  const int sx = std::clamp(image.scale_x, 1, 8), sy = std::clamp(image.scale_y, 1, 8);
  const int width = image.width * sx, height = image.height * sy;
  const int left = AlignedX(image.alignment, x0, line_width, width);
  const int right = x0 + line_width;  // dots beyond the line are not printed
  const Ink ink = InkFor(image.color);
  paper.EnsureHeight(y + height);
  for (int row = 0; row < image.height; ++row) {
    for (int col = 0; col < image.width; ++col) {
      if (!image.pixels[static_cast<size_t>(row) * image.width + col]) continue;
      const int x = left + col * sx;
      paper.FillRect(x, y + row * sy, std::min(sx, right - x), sy, ink);
    }
  }
  return y + height;
}

int OpPainter::PaintBarcode(const Barcode& barcode, Raster& paper, int x0, int line_width,
                            int y) const {
  const BarcodeSymbol symbol = EncodeBarcode(barcode.system, barcode.data);
  const int module = std::clamp(barcode.module_width, 1, 6);
  const int bar_height = std::clamp(barcode.height, 1, 255);
  const int width = static_cast<int>(symbol.modules.size()) * module;
  if (!symbol.error.empty() || width > line_width) return y;  // the printer skips it

  const uint8_t hri = DigitOrValue(barcode.hri_position) & 3;
  const BitmapFont& font = Font(barcode.hri_font);
  const int left = AlignedX(barcode.alignment, x0, line_width, width);
  auto draw_hri = [&](int top) {
    const int text_width = static_cast<int>(symbol.hri.size()) * font.width();
    int x = std::max(left + (width - text_width) / 2, x0);
    paper.EnsureHeight(top + font.height());
    for (unsigned char c : symbol.hri) {
      for (int gy = 0; gy < font.height(); ++gy)
        for (int gx = 0; gx < font.width(); ++gx)
          if (font.Dot(c, gx, gy)) paper.Set(x + gx, top + gy, Ink::Black);
      x += font.width();
    }
    return top + font.height() + kHriGap;
  };
  if (hri & 1) y = draw_hri(y);
  paper.EnsureHeight(y + bar_height);
  for (size_t i = 0; i < symbol.modules.size(); ++i)
    if (symbol.modules[i])
      paper.FillRect(left + static_cast<int>(i) * module, y, module, bar_height, Ink::Black);
  y += bar_height;
  if (hri & 2) y = draw_hri(y + kHriGap) - kHriGap;
  return y;
}

int OpPainter::PaintPage(const PageBlock& page, Raster& paper, int x0, int line_width, int y,
                         int depth) const {
  if (depth >= kMaxPageNesting) return y;
  const int turns = page.direction & 3;
  const bool sideways = (turns & 1) != 0;
  const int area_x = std::clamp(page.x, 0, std::max(line_width - 1, 0));
  const int area_y = std::clamp(page.y, 0, kMaxPageSide);
  const int area_w = std::clamp(page.width > 0 ? page.width : line_width, 1, line_width - area_x);
  const int area_h = std::clamp(page.height, 0, kMaxPageSide);

  // Lay the contents out upright, as if the paper were turned, then turn the result.
  const int length = sideways ? (area_h > 0 ? area_h : kAutoPageLength) : area_w;
  Raster upright(length, 0);
  int row = 0;
  for (const PrintOp& op : page.contents) {
    if (std::holds_alternative<Cut>(op)) continue;  // no cutting inside a page
    row = std::min(PaintAt(op, upright, 0, length, row, depth + 1), kMaxPageSide);
  }
  int used_length = length;
  if (sideways && area_h == 0) {
    const Raster::Box ink = upright.InkBox();
    used_length = std::max(ink.x + ink.width, 1);
  }
  const int depth_dots = sideways ? area_w : (area_h > 0 ? area_h : row);
  Raster area(used_length, std::max(depth_dots, 1));
  area.Overlay(upright, 0, 0);
  const Raster turned = area.Rotated(turns);
  paper.EnsureHeight(y + area_y + turned.height());
  paper.Overlay(turned, x0 + area_x, y + area_y);
  return y + area_y + turned.height();
}

int DrawCutMark(Raster& paper, int y, bool partial) {
  static const char* const kScissors[] = {
      ".##.........##", "#..#.......##.", "#..#.....##...", ".##.#..##.....", ".....##.......",
      ".##.#..##.....", "#..#.....##...", "#..#.......##.", ".##.........##",
  };
  constexpr int kRows = 9, kColumns = 14;
  paper.EnsureHeight(y + kRows);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c)
      if (kScissors[r][c] == '#') paper.Set(2 + c, y + r, Ink::Black);
  const int line_y = y + kRows / 2;
  const int middle = paper.width() / 2;
  for (int x = kColumns + 4; x < paper.width(); x += 12) {
    // A partial cut leaves the middle of the paper joined.
    if (partial && x + 8 > middle - 24 && x < middle + 24) continue;
    paper.FillRect(x, line_y, 8, 1, Ink::Black);
  }
  return y + kRows;
}

}  // namespace vdev
