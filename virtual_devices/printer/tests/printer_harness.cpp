#include "printer_harness.h"

#include <sstream>

namespace vdev::testing {

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

void RecordingSink::Print(const PrintOp& op) {
  std::lock_guard lock(mu_);
  ops_.push_back(op);
}

void RecordingSink::Finish() {
  std::lock_guard lock(mu_);
  ++finishes_;
}

std::vector<PrintOp> RecordingSink::ops() const {
  std::lock_guard lock(mu_);
  return ops_;
}

std::vector<std::string> RecordingSink::descriptions() const {
  std::vector<std::string> out;
  for (const PrintOp& op : ops()) out.push_back(DescribeOp(op));
  return out;
}

int RecordingSink::finishes() const {
  std::lock_guard lock(mu_);
  return finishes_;
}

namespace {

std::string StyleText(const TextStyle& s) {
  std::ostringstream out;
  out << "f" << int(s.font) << (s.bold ? " b" : "") << (s.underline ? " u" : "")
      << (s.underline == 2 ? "2" : "") << (s.reverse ? " r" : "") << " " << int(s.width) << "x"
      << int(s.height) << (s.color ? " red" : "");
  return out.str();
}

struct Describer {
  std::string operator()(const TextLine& line) const {
    std::ostringstream out;
    out << "text a" << int(line.alignment) << " s" << line.line_spacing_dots << " cp"
        << line.code_page;
    for (const TextRun& run : line.runs) {
      out << " [" << StyleText(run.style);
      if (run.gap_dots) out << " +" << run.gap_dots;
      out << "]" << run.bytes;
    }
    return out.str();
  }
  std::string operator()(const Feed& feed) const { return "feed " + std::to_string(feed.dots); }
  std::string operator()(const Image& image) const {
    std::ostringstream out;
    size_t set = 0;
    for (uint8_t p : image.pixels) set += p;
    out << "image " << image.source << " " << image.width << "x" << image.height << " x"
        << image.scale_x << "/" << image.scale_y << " a" << int(image.alignment) << " adv"
        << image.advance_dots << " dots" << set;
    return out.str();
  }
  std::string operator()(const Barcode& b) const {
    std::ostringstream out;
    out << "barcode " << int(b.system) << " " << b.data << " w" << b.module_width << " h"
        << b.height << " hri" << int(b.hri_position) << " f" << int(b.hri_font) << " a"
        << int(b.alignment);
    return out.str();
  }
  std::string operator()(const Cut& cut) const { return cut.partial ? "cut partial" : "cut full"; }
  std::string operator()(const PageBlock& page) const {
    std::ostringstream out;
    out << "page " << page.x << "," << page.y << " " << page.width << "x" << page.height << " dir"
        << int(page.direction) << " {";
    for (const PrintOp& op : page.contents) out << " " << DescribeOp(op) << ";";
    out << " }";
    return out.str();
  }
};

}  // namespace

std::string DescribeOp(const PrintOp& op) {
  return std::visit(Describer{}, static_cast<const PrintOp::variant&>(op));
}

Harness::Harness(PrinterConfig config) : printer(std::move(config), &sink) {
  printer.SetAnswerSink([this](std::span<const uint8_t> bytes) {
    std::lock_guard lock(mu_);
    answers_.insert(answers_.end(), bytes.begin(), bytes.end());
  });
}

Bytes Harness::Send(const Bytes& bytes) {
  TakeAnswers();
  printer.Receive(bytes);
  return TakeAnswers();
}

Bytes Harness::TakeAnswers() {
  std::lock_guard lock(mu_);
  Bytes out;
  out.swap(answers_);
  return out;
}

}  // namespace vdev::testing
