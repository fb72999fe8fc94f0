// The paper side of the virtual printer: print operations become receipts. Each cut (or
// Finish, when something was printed) closes the receipt in progress, which is written
// as receipt-NNNN.png and appended to the plain-text transcript.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "virtual_devices/print_ops.h"
#include "virtual_devices/raster.h"
#include "virtual_devices/receipt_fonts.h"

namespace vdev {

struct RendererOptions {
  PaperGeometry paper;
  std::string png_directory;    // empty: no PNG files; created when missing
  std::string transcript_path;  // empty: no transcript file; appended to
  FontPaths fonts;
  size_t receipts_kept = 32;  // closed receipts kept in memory, newest first to stay
};

struct RenderedReceipt {
  int number = 0;  // 1, 2, ... in this renderer's file numbering
  Raster image;
  std::string transcript;  // this receipt's part of the transcript
  std::string png_path;    // empty when no file was written
};

class ReceiptRenderer : public PrintSink {
 public:
  // Paper margin left and right of the printable line, in dots.
  static constexpr int kSideMargin = 16;
  static constexpr int kTopMargin = 8;
  // A receipt this long is closed without a cut and continues on the next.
  static constexpr int kMaxReceiptDots = 60000;

  explicit ReceiptRenderer(RendererOptions options);

  // Thread-safe; may be called from the printer model's thread.
  void Print(const PrintOp& op) override;
  void Finish() override;

  std::vector<RenderedReceipt> Receipts() const;  // kept receipts, oldest first
  int ReceiptCount() const;                       // receipts closed so far
  std::string Transcript() const;                 // everything closed so far
  Raster CurrentImage() const;                    // the receipt in progress
  // Fonts that fell back to boxes, files that could not be written (also on stderr).
  std::vector<std::string> Problems() const;
  int PaperWidth() const { return paper_width_; }

 private:
  void CloseReceipt(const Cut* cut);
  void StartReceipt();
  void Report(const std::string& problem);
  int FirstFreeNumber() const;

  const RendererOptions options_;
  const ReceiptFonts fonts_;
  const int line_width_;
  const int paper_width_;

  mutable std::mutex mutex_;
  Raster page_;
  int cursor_y_ = kTopMargin;
  bool has_content_ = false;
  std::string page_text_;
  std::string transcript_;
  std::vector<RenderedReceipt> kept_;
  int closed_ = 0;
  int next_number_ = 1;
  std::vector<std::string> problems_;
};

}  // namespace vdev
