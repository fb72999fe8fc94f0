#include "transcript.h"

#include <algorithm>
#include <cstdio>
#include <variant>

#include "op_painter.h"
#include "virtual_devices/barcode_symbol.h"
#include "virtual_devices/code_pages.h"

namespace vdev {
namespace {

std::string Quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

void DescribeText(const TextLine& line, std::string& out) {
  for (const TextRun& run : line.runs) {
    // Positioned text keeps its columns: the gap as the spaces of the run's character
    // width it comes closest to, at least one.
    if (run.gap_dots > 0) {
      const int char_width = (run.style.font == 0 ? 12 : 9) * std::clamp<int>(run.style.width, 1, 8);
      out.append(static_cast<size_t>(std::max(1, (run.gap_dots + char_width / 2) / char_width)),
                 ' ');
    }
    out += DecodeToUtf8(line.code_page, run.bytes);
  }
  out += '\n';
}

void DescribeImage(const Image& image, std::string& out) {
  out += "[image " + std::to_string(image.width) + "x" + std::to_string(image.height);
  if (image.scale_x != 1 || image.scale_y != 1)
    out += " scale " + std::to_string(image.scale_x) + "x" + std::to_string(image.scale_y);
  if (image.color != 0) out += " red";
  if (!image.source.empty()) out += " from " + image.source;
  if (image.width <= 0 || image.height <= 0 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    out += " malformed, not printed";
  out += "]\n";
}

void DescribeBarcode(const Barcode& barcode, int line_width, std::string& out) {
  static const char* const kHri[] = {"", " hri above", " hri below", " hri above and below"};
  const uint8_t position =
      barcode.hri_position >= '0' ? barcode.hri_position - '0' : barcode.hri_position;
  out += "[barcode " + BarcodeSystemName(barcode.system) + " " + Quoted(barcode.data) +
         kHri[position & 3];
  const BarcodeSymbol symbol = EncodeBarcode(barcode.system, barcode.data);
  if (!symbol.error.empty()) {
    out += " not printed: " + symbol.error;
  } else if (static_cast<long>(symbol.modules.size()) * std::clamp(barcode.module_width, 1, 6) >
             line_width) {
    out += " not printed: wider than the line";
  }
  out += "]\n";
}

void DescribePage(const PageBlock& page, int line_width, std::string& out) {
  static const char* const kTurn[] = {"", ", rotated 90", ", rotated 180", ", rotated 270"};
  out += std::string("[page mode") + kTurn[page.direction & 3] + "]\n";
  for (const PrintOp& op : page.contents)
    if (!std::holds_alternative<Cut>(op)) DescribeOp(op, line_width, out);
  out += "[end of page mode]\n";
}

}  // namespace

void DescribeOp(const PrintOp& op, int line_width, std::string& out) {
  if (const auto* line = std::get_if<TextLine>(&op)) return DescribeText(*line, out);
  if (const auto* feed = std::get_if<Feed>(&op)) {
    out += "[feed " + std::to_string(feed->dots) + " dots]\n";
    return;
  }
  if (const auto* image = std::get_if<Image>(&op)) return DescribeImage(*image, out);
  if (const auto* code = std::get_if<Barcode>(&op)) return DescribeBarcode(*code, line_width, out);
  if (const auto* page = std::get_if<PageBlock>(&op)) return DescribePage(*page, line_width, out);
  if (std::holds_alternative<Cut>(op)) out += "----- cut -----\n";
}

}  // namespace vdev
