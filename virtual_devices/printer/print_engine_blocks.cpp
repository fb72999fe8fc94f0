// The block-shaped output of the print engine: bit images, barcodes and page mode.
#include <algorithm>
#include <cctype>
#include <utility>

#include "command_params.h"
#include "nv_images.h"
#include "print_engine.h"

namespace vdev::printer {
namespace {

bool AllDigits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char ch) { return std::isdigit(ch); });
}

bool AllIn(const std::string& s, const std::string& allowed) {
  return std::all_of(s.begin(), s.end(),
                     [&](char ch) { return allowed.find(ch) != std::string::npos; });
}

// The device refuses (skips) barcode data its symbology cannot encode.
std::string CheckBarcodeData(uint8_t system, const std::string& d) {
  const size_t n = d.size();
  switch (system) {
    case 65:
      return AllDigits(d) && (n == 11 || n == 12) ? "" : "UPC-A needs 11 or 12 digits";
    case 66:
      if (!AllDigits(d)) return "UPC-E needs digits";
      if (n >= 6 && n <= 8) return "";
      return (n == 11 || n == 12) && d[0] == '0' ? "" : "UPC-E data does not fit";
    case 67:
      return AllDigits(d) && (n == 12 || n == 13) ? "" : "EAN-13 needs 12 or 13 digits";
    case 68:
      return AllDigits(d) && (n == 7 || n == 8) ? "" : "EAN-8 needs 7 or 8 digits";
    case 69:
      return n >= 1 && AllIn(d, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./")
                 ? ""
                 : "Code 39 data has a character it cannot encode";
    case 70:
      return n >= 2 && n % 2 == 0 && AllDigits(d) ? "" : "ITF needs an even number of digits";
    case 71:
      return n >= 1 && AllIn(d, "0123456789ABCDabcd$+-./:")
                 ? ""
                 : "Codabar data has a character it cannot encode";
    case 72:
      return n >= 1 && std::all_of(d.begin(), d.end(), [](char ch) { return ch >= 0; })
                 ? ""
                 : "Code 93 data must be 7-bit";
    case 73:
      return n >= 2 && d[0] == '{' && (d[1] == 'A' || d[1] == 'B' || d[1] == 'C')
                 ? ""
                 : "Code 128 data must start with a code set selector {A, {B or {C";
    default:
      return "unknown barcode system";
  }
}

}  // namespace

std::string PrintEngine::BitImageBand(const RawCommand& c) {
  const uint8_t m = c.At(2);
  const int columns = c.Word(3);
  const bool thermal = geometry_.kind == PrinterKind::Thermal;
  int bytes_per_column = 1, scale_x = 1, scale_y = 1;
  switch (m) {
    case 0:
      scale_x = 2;
      scale_y = thermal ? 3 : 1;
      break;
    case 1:
      scale_y = thermal ? 3 : 1;
      break;
    case 32:
      bytes_per_column = 3;
      scale_x = 2;
      break;
    case 33:
      bytes_per_column = 3;
      break;
    default:
      return "unknown bit-image mode, header skipped";
  }
  if (!thermal && bytes_per_column == 3) return "24-dot images need a thermal printer";
  if (columns == 0) return "";
  Image image = ImageFromColumns(c.bytes.data() + 5, columns, bytes_per_column);
  image.scale_x = scale_x;
  image.scale_y = scale_y;
  image.color = style_.color;
  image.source = "ESC *";
  // Dots beyond the end of the line are not printed.
  const int room = std::max(0, LineWidth() - line_dots_) / scale_x;
  std::string note;
  if (image.width > room) {
    Image cropped;
    cropped = image;
    cropped.width = room;
    cropped.pixels.clear();
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < room; ++x) cropped.pixels.push_back(image.pixels[y * image.width + x]);
    image = std::move(cropped);
    note = "image wider than the line: cut at the right margin";
  }
  line_dots_ += image.width * scale_x;
  if (band_ && (band_->scale_x != scale_x || band_->scale_y != scale_y)) {
    Image earlier = std::move(*band_);
    band_.reset();
    earlier.alignment = alignment_;
    earlier.advance_dots = 0;
    Out(std::move(earlier));
  }
  if (!band_) {
    band_ = std::move(image);
    return note;
  }
  // Several bands on one line sit side by side.
  Image joined = *band_;
  joined.width = band_->width + image.width;
  joined.height = std::max(band_->height, image.height);
  joined.pixels.assign(size_t(joined.width) * joined.height, 0);
  for (int y = 0; y < band_->height; ++y)
    for (int x = 0; x < band_->width; ++x)
      joined.pixels[size_t(y) * joined.width + x] = band_->pixels[size_t(y) * band_->width + x];
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      joined.pixels[size_t(y) * joined.width + band_->width + x] =
          image.pixels[size_t(y) * image.width + x];
  band_ = std::move(joined);
  return note;
}

std::string PrintEngine::DefineDownloaded(const RawCommand& c) {
  const int x = c.At(2), y = c.At(3);
  if (x == 0 || y == 0 || y > 48 || x * y > 1536) return "image size out of range, ignored";
  downloaded_ = ImageFromColumns(c.bytes.data() + 4, x * 8, y);
  downloaded_->source = "GS /";
  return "";
}

std::string PrintEngine::PrintImage(const Image* image, uint8_t mode, const std::string& source) {
  if (!image) return "no such image defined, ignored";
  const int m = Choice(mode, 3);
  if (m < 0) return "bad image mode, ignored";
  FlushLineBeforeBlock();
  Image out = *image;
  out.scale_x = (m & 1) ? 2 : 1;
  out.scale_y = (m & 2) ? 2 : 1;
  out.alignment = alignment_;
  out.color = style_.color;
  out.source = source;
  out.advance_dots = -1;
  Out(std::move(out));
  return "";
}

std::string PrintEngine::RasterImage(const RawCommand& c) {
  const int m = Choice(c.At(3), 3);
  const int x = c.Word(4), y = c.Word(6);
  if (c.At(2) != '0' || m < 0) return "bad raster image parameters, ignored";
  if (x == 0 || y == 0) return "empty raster image";
  Image image;
  image.width = x * 8;
  image.height = y;
  image.pixels.resize(size_t(image.width) * y);
  for (int row = 0; row < y; ++row)
    for (int b = 0; b < x; ++b) {
      const uint8_t byte = c.bytes[8 + size_t(row) * x + b];
      for (int bit = 0; bit < 8; ++bit)
        image.pixels[size_t(row) * image.width + b * 8 + bit] = (byte >> (7 - bit)) & 1;
    }
  return PrintImage(&image, uint8_t(m), "GS v 0");
}

std::string PrintEngine::DefineNvImages(const RawCommand& c) {
  std::map<int, Image> images;
  size_t pos = 3, total = 0;
  for (int i = 1; i <= c.At(2); ++i) {
    const int x = c.Word(pos), y = c.Word(pos + 2);
    if (x < 1 || x > 1023 || y < 1 || y > 288) return "NV image size out of range, ignored";
    total += size_t(x) * y * 8;
    if (total > nv_capacity_) return "NV images larger than the NV memory, ignored";
    if (pos + 4 + size_t(x) * y * 8 > c.bytes.size()) return "NV image data cut short, ignored";
    Image image = ImageFromColumns(c.bytes.data() + pos + 4, x * 8, y);
    image.source = "FS p " + std::to_string(i);
    images[i] = std::move(image);
    pos += 4 + size_t(x) * y * 8;
  }
  nv_images_ = std::move(images);  // FS q replaces every stored image
  return "";
}

std::string PrintEngine::Barcode(const RawCommand& c) {
  const uint8_t m = c.At(2);
  std::string data;
  uint8_t system = m;
  if (m <= 6) {
    system = uint8_t(65 + m);
    data.assign(c.bytes.begin() + 3, c.bytes.end());
    if (!data.empty() && data.back() == '\0') data.pop_back();
  } else if (m >= 65 && m <= 73) {
    data.assign(c.bytes.begin() + 4, c.bytes.end());
  } else {
    return "unknown barcode system, skipped";
  }
  if (geometry_.kind == PrinterKind::DotMatrix) return "ignored: no barcodes on dot-matrix";
  if (std::string why = CheckBarcodeData(system, data); !why.empty()) return why + ", ignored";
  FlushLineBeforeBlock();
  vdev::Barcode barcode = barcode_settings_;
  barcode.system = system;
  barcode.data = std::move(data);
  barcode.alignment = alignment_;
  Out(std::move(barcode));
  return "";
}

std::string PrintEngine::PageModeCommand(const RawCommand& c) {
  const bool escape = c.At(0) == kEsc;
  const uint8_t code = escape ? c.At(1) : c.At(0);
  if (geometry_.kind == PrinterKind::DotMatrix) return "ignored: no page mode on dot-matrix";
  if (escape && code == 'T') {
    const int v = Choice(c.At(2), 3);
    if (v < 0) return "parameter out of range, ignored";
    page_.direction = uint8_t(v);
    return "";
  }
  if (escape && code == 'W') {
    const int x = c.Word(2), y = c.Word(4), w = c.Word(6), h = c.Word(8);
    if (w == 0 || h == 0) return "empty print area, ignored";
    page_.x = x;
    page_.y = y;
    page_.width = w;
    page_.height = h;
    return "";
  }
  if (escape && code == 'L') {
    if (page_mode_) return "already in page mode";
    if (!LineEmpty()) return "ignored: not at the start of a line";
    page_mode_ = true;
    page_contents_.clear();
    return "";
  }
  if (!page_mode_) return "ignored in standard mode";
  if (code == kCan) {
    runs_.clear();
    line_dots_ = 0;
    band_.reset();
    page_contents_.clear();
    return "";
  }
  // ESC FF prints the page and keeps it; FF prints it and leaves page mode; ESC S leaves
  // page mode without printing. Leaving sets the area back to the default.
  if (!(escape && code == 'S')) {
    if (!LineEmpty()) EndLine(SpacingDots());
    PageBlock block = page_;
    block.contents = page_contents_;
    emit_(std::move(block));
    if (escape) return "";
  }
  ClearPrintBuffer();
  page_mode_ = false;
  const uint8_t direction = page_.direction;
  page_ = PageBlock{};
  page_.width = geometry_.dots_per_line;
  page_.direction = direction;
  return "";
}

}  // namespace vdev::printer
