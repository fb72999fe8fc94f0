#include "virtual_devices/receipt_renderer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "op_painter.h"
#include "transcript.h"
#include "virtual_devices/png_writer.h"

namespace vdev {
namespace {

std::string PngName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "receipt-%04d.png", number);
  return name;
}

}  // namespace

ReceiptRenderer::ReceiptRenderer(RendererOptions options)
    : options_(std::move(options)),
      fonts_(LoadReceiptFonts(options_.fonts)),
      line_width_(std::clamp(options_.paper.dots_per_line, 64, kMaxPageSide)),
      paper_width_(line_width_ + 2 * kSideMargin) {
  for (const std::string& problem : fonts_.problems) Report(problem);
  if (!options_.png_directory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options_.png_directory, error);
    if (error) Report(options_.png_directory + ": " + error.message());
    next_number_ = FirstFreeNumber();
  }
  StartReceipt();
}

// Continues the numbering of receipts already in the directory instead of overwriting them.
int ReceiptRenderer::FirstFreeNumber() const {
  int highest = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(options_.png_directory, error)) {
    int number = 0;
    const std::string name = entry.path().filename().string();
    if (std::sscanf(name.c_str(), "receipt-%d.png", &number) == 1 && name == PngName(number))
      highest = std::max(highest, number);
  }
  return highest + 1;
}

void ReceiptRenderer::StartReceipt() {
  page_ = Raster(paper_width_, kTopMargin);
  cursor_y_ = kTopMargin;
  has_content_ = false;
  page_text_.clear();
}

void ReceiptRenderer::Print(const PrintOp& op) {
  std::lock_guard lock(mutex_);
  if (const auto* cut = std::get_if<Cut>(&op)) {
    DescribeOp(op, line_width_, page_text_);
    CloseReceipt(cut);
    return;
  }
  OpPainter painter(fonts_, options_.paper);
  DescribeOp(op, line_width_, page_text_);
  cursor_y_ = painter.Paint(op, page_, kSideMargin, line_width_, cursor_y_);
  has_content_ = true;
  if (cursor_y_ >= kMaxReceiptDots) {
    cursor_y_ = kMaxReceiptDots;
    page_text_ += "[receipt longer than " + std::to_string(kMaxReceiptDots) +
                  " dots, continued on the next image]\n";
    CloseReceipt(nullptr);
  }
}

void ReceiptRenderer::Finish() {
  std::lock_guard lock(mutex_);
  if (has_content_) CloseReceipt(nullptr);
}

void ReceiptRenderer::CloseReceipt(const Cut* cut) {
  page_.EnsureHeight(cursor_y_);
  int bottom = cursor_y_ + kTopMargin;
  if (cut != nullptr) bottom = DrawCutMark(page_, bottom, cut->partial) + kTopMargin;
  page_.EnsureHeight(bottom);

  RenderedReceipt receipt{next_number_++, std::move(page_), page_text_, {}};
  if (!options_.png_directory.empty()) {
    const std::string path =
        (std::filesystem::path(options_.png_directory) / PngName(receipt.number)).string();
    const std::string error = WritePng(receipt.image, path);
    if (error.empty())
      receipt.png_path = path;
    else
      Report("receipt not saved: " + error);
  }
  if (!options_.transcript_path.empty()) {
    std::ofstream file(options_.transcript_path, std::ios::app | std::ios::binary);
    file << page_text_;
    file.flush();
    if (!file) Report(options_.transcript_path + ": transcript could not be written");
  }
  transcript_ += page_text_;
  ++closed_;
  kept_.push_back(std::move(receipt));
  if (kept_.size() > std::max<size_t>(options_.receipts_kept, 1)) kept_.erase(kept_.begin());
  StartReceipt();
}

void ReceiptRenderer::Report(const std::string& problem) {
  std::cerr << "vprinter rendering: " << problem << '\n';
  problems_.push_back(problem);
  if (problems_.size() > 100) problems_.erase(problems_.begin());
}

std::vector<RenderedReceipt> ReceiptRenderer::Receipts() const {
  std::lock_guard lock(mutex_);
  return kept_;
}

int ReceiptRenderer::ReceiptCount() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::string ReceiptRenderer::Transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

Raster ReceiptRenderer::CurrentImage() const {
  std::lock_guard lock(mutex_);
  return page_;
}

std::vector<std::string> ReceiptRenderer::Problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

}  // namespace vdev
