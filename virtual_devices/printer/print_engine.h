// Executes the printing commands (text, styles, feeds, cuts, images, barcodes, page mode)
// and turns them into PrintOps. It knows nothing of status, answers or the drawer.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "command_framer.h"
#include "virtual_devices/print_ops.h"

namespace vdev::printer {

class PrintEngine {
 public:
  using Emit = std::function<void(PrintOp)>;

  PrintEngine(PaperGeometry geometry, bool cr_is_line_end, Emit emit);

  // Runs one ordinary command. Returns "" when it was carried out, otherwise why it was
  // ignored (for the decoded log).
  std::string Execute(const RawCommand& command);
  // ESC @ and power on: modes back to their defaults, the line and page buffers and the
  // downloaded image cleared. NV images survive.
  void Reset();
  // Drops the unprinted line and page data (a buffer-clear request).
  void ClearPrintBuffer();

  // Image data bytes FS q may store in all; a definition needing more is ignored.
  void SetNvCapacity(size_t bytes) { nv_capacity_ = bytes; }

  bool page_mode() const { return page_mode_; }
  uint64_t lines() const { return lines_; }
  uint64_t receipts() const { return receipts_; }

 private:
  std::string ExecuteEsc(const RawCommand& c);
  std::string ExecuteGs(const RawCommand& c);
  std::string ExecuteFs(const RawCommand& c);
  std::string ExecuteControl(uint8_t byte);

  void AddText(const std::vector<uint8_t>& text);
  // ESC $ / ESC \: the next character starts `position` dots from the left margin.
  std::string MoveTo(int64_t position);
  void AddChar(uint8_t ch);
  int CharWidth() const;
  int LineWidth() const;
  bool LineEmpty() const { return runs_.empty() && !band_; }
  // Prints the line buffer; `advance_dots` is the paper advance after it.
  void EndLine(int advance_dots);
  void Out(PrintOp op);
  void FlushLineBeforeBlock();  // prints pending text before an image or barcode
  int SpacingDots() const { return (line_spacing_units_ + 1) / 2; }

  std::string BitImageBand(const RawCommand& c);
  std::string DefineDownloaded(const RawCommand& c);
  std::string PrintImage(const Image* image, uint8_t mode, const std::string& source);
  std::string RasterImage(const RawCommand& c);
  std::string DefineNvImages(const RawCommand& c);
  std::string Barcode(const RawCommand& c);
  std::string Cut(bool partial, int feed_units);
  std::string PageModeCommand(const RawCommand& c);

  PaperGeometry geometry_;
  bool cr_is_line_end_;
  Emit emit_;

  TextStyle style_;
  Alignment alignment_ = Alignment::Left;
  int line_spacing_units_ = 60;
  int code_page_ = 0;
  vdev::Barcode barcode_settings_;

  std::vector<TextRun> runs_;
  int line_dots_ = 0;
  std::optional<Image> band_;  // ESC * bit-image band(s) on the current line

  std::optional<Image> downloaded_;
  std::map<int, Image> nv_images_;
  size_t nv_capacity_ = 256 * 1024;

  bool page_mode_ = false;
  PageBlock page_;
  std::vector<PrintOp> page_contents_;

  uint64_t lines_ = 0;
  uint64_t receipts_ = 0;
};

}  // namespace vdev::printer
