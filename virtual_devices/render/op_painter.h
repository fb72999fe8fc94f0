// Draws print operations onto paper: text lines, feeds, images, barcodes and page-mode
// blocks, each starting at a given row and returning the row where the next one starts.
#pragma once

#include "virtual_devices/print_ops.h"
#include "virtual_devices/raster.h"
#include "virtual_devices/receipt_fonts.h"

namespace vdev {

// Largest sizes drawn, so that hostile values cannot exhaust memory.
constexpr int kMaxFeedDots = 8192;
constexpr int kMaxImageSide = 4096;
constexpr int kMaxPageSide = 4096;

class OpPainter {
 public:
  OpPainter(const ReceiptFonts& fonts, const PaperGeometry& paper);

  // Draws `op` into `paper` in the columns [x0, x0 + line_width) from row y; returns the
  // row below it. Cuts draw nothing here (the receipt renderer closes the receipt).
  int Paint(const PrintOp& op, Raster& paper, int x0, int line_width, int y) const;

  const BitmapFont& Font(uint8_t font) const;
  Ink InkFor(uint8_t color) const;

 private:
  int PaintText(const TextLine& line, Raster& paper, int x0, int line_width, int y) const;
  int PaintImage(const Image& image, Raster& paper, int x0, int line_width, int y) const;
  int PaintBarcode(const Barcode& barcode, Raster& paper, int x0, int line_width, int y) const;
  int PaintPage(const PageBlock& page, Raster& paper, int x0, int line_width, int y,
                int depth) const;
  int PaintAt(const PrintOp& op, Raster& paper, int x0, int line_width, int y, int depth) const;

  const ReceiptFonts& fonts_;
  PaperGeometry paper_;
  bool font_a_fits_;  // dot-matrix lines too narrow for 12-dot cells print font B
};

// Where a block of `width` dots starts on a line.
int AlignedX(Alignment alignment, int x0, int line_width, int width);

// Dashed line across the paper with a scissors mark at the left; returns the row below.
int DrawCutMark(Raster& paper, int y, bool partial);

}  // namespace vdev
