#include "print_engine.h"

#include <utility>

#include "command_params.h"
#include "nv_images.h"

namespace vdev::printer {

namespace {
constexpr const char* kNoEffect = "accepted; no effect in this model";
constexpr const char* kUnknown = "unknown command, skipped";
constexpr const char* kBadParameter = "parameter out of range, ignored";
}  // namespace

PrintEngine::PrintEngine(PaperGeometry geometry, bool cr_is_line_end, Emit emit)
    : geometry_(geometry), cr_is_line_end_(cr_is_line_end), emit_(std::move(emit)) {
  Reset();
}

void PrintEngine::Reset() {
  style_ = TextStyle{};
  if (geometry_.kind == PrinterKind::Thermal && geometry_.columns == 56) style_.font = 1;
  alignment_ = Alignment::Left;
  line_spacing_units_ = 60;
  code_page_ = 0;
  barcode_settings_ = vdev::Barcode{};
  ClearPrintBuffer();
  downloaded_.reset();
  if (nv_images_.empty()) nv_images_ = PresetNvImages();
  page_mode_ = false;
  page_ = PageBlock{};
  page_.width = geometry_.dots_per_line;
}

void PrintEngine::ClearPrintBuffer() {
  runs_.clear();
  line_dots_ = 0;
  band_.reset();
  page_contents_.clear();
}

std::string PrintEngine::Execute(const RawCommand& c) {
  if (c.is_text) {
    AddText(c.bytes);
    return "";
  }
  switch (c.At(0)) {
    case kEsc:
      return ExecuteEsc(c);
    case kGs:
      return ExecuteGs(c);
    case kFs:
      return ExecuteFs(c);
    case kDle:
      return kUnknown;
    default:
      return ExecuteControl(c.At(0));
  }
}

std::string PrintEngine::ExecuteControl(uint8_t byte) {
  switch (byte) {
    case kLf:
      EndLine(SpacingDots());
      return "";
    case kCr:
      if (!cr_is_line_end_) return "";
      EndLine(SpacingDots());
      return "";
    case kHt: {
      const int width = CharWidth();
      const int column = width > 0 ? line_dots_ / width : 0;
      for (int i = column % 8; i < 8; ++i) AddChar(' ');
      return "";
    }
    case kFf:
    case kCan:
      return PageModeCommand(RawCommand{{byte}, false});
    case kNul:
      return "";
    default:
      return kUnknown;
  }
}

std::string PrintEngine::ExecuteEsc(const RawCommand& c) {
  const uint8_t n = c.At(2);
  switch (c.At(1)) {
    case '@':
      Reset();
      return "";
    case '!':
      style_.font = n & 0x01;
      style_.bold = n & 0x08;
      style_.height = (n & 0x10) ? 2 : 1;
      style_.width = (n & 0x20) ? 2 : 1;
      style_.underline = (n & 0x80) ? 1 : 0;
      return "";
    case 'E':
    case 'G':
      style_.bold = n & 0x01;
      return "";
    case '-': {
      const int v = Choice(n, 2);
      if (v < 0) return kBadParameter;
      style_.underline = uint8_t(v);
      return "";
    }
    case 'a': {
      const int v = Choice(n, 2);
      if (v < 0) return kBadParameter;
      if (!LineEmpty() && !page_mode_) return "ignored: not at the start of a line";
      alignment_ = Alignment(v);
      return "";
    }
    case '3':
      line_spacing_units_ = n;
      return "";
    case '2':
      line_spacing_units_ = 60;
      return "";
    case 'r': {
      if (geometry_.kind == PrinterKind::Thermal) return "ignored: one-colour printer";
      const int v = Choice(n, 1);
      if (v < 0) return kBadParameter;
      style_.color = uint8_t(v);
      return "";
    }
    case 't':
      code_page_ = n;
      return "";
    case 'M': {
      const int v = Choice(n, 1);
      if (v < 0) return kBadParameter;
      style_.font = uint8_t(v);
      return "";
    }
    case 'm':
      return Cut(true, 0);
    case 'i':
      return Cut(false, 0);
    case 'd':
    case 'J': {
      const int dots = c.At(1) == 'd' ? n * SpacingDots() : (n + 1) / 2;
      if (LineEmpty()) {
        if (dots > 0) Out(Feed{dots});
      } else {
        EndLine(dots);
      }
      return "";
    }
    case '*':
      return BitImageBand(c);
    case 'L':
    case 'S':
    case 'T':
    case 'W':
    case kFf:
      return PageModeCommand(c);
    case '$':
      return MoveTo(c.Word(2));
    case '\\':
      return MoveTo(int64_t{line_dots_} + static_cast<int16_t>(c.Word(2)));
    case 'e':
    case 'K':
    case 'V':
    case '{':
    case ' ':
    case 'R':
    case 'U':
    case '%':
    case '?':
    case '&':
    case 'D':
    case 'c':
    case 'f':
    case '(':
    case '<':
    case 'I':
    case '=':
    case 'u':
    case 'v':
    case 'p':
      return kNoEffect;
    default:
      return kUnknown;
  }
}

std::string PrintEngine::ExecuteGs(const RawCommand& c) {
  const uint8_t n = c.At(2);
  switch (c.At(1)) {
    case '!': {
      const int w = n >> 4, h = n & 0x0F;
      if (w > 7 || h > 7) return kBadParameter;
      style_.width = uint8_t(w + 1);
      style_.height = uint8_t(h + 1);
      return "";
    }
    case 'B':
      if (geometry_.kind == PrinterKind::DotMatrix) return "ignored: no reverse printing";
      style_.reverse = n & 0x01;
      return "";
    case '*':
      return DefineDownloaded(c);
    case '/':
      return PrintImage(downloaded_ ? &*downloaded_ : nullptr, n, "GS /");
    case 'v':
      return RasterImage(c);
    case 'k':
      return Barcode(c);
    case 'w':
      if (n < 1 || n > 6) return kBadParameter;
      barcode_settings_.module_width = n;
      return "";
    case 'h':
      if (n < 1) return kBadParameter;
      barcode_settings_.height = n;
      return "";
    case 'H': {
      const int v = Choice(n, 3);
      if (v < 0) return kBadParameter;
      barcode_settings_.hri_position = uint8_t(v);
      return "";
    }
    case 'f': {
      const int v = Choice(n, 1);
      if (v < 0) return kBadParameter;
      barcode_settings_.hri_font = uint8_t(v);
      return "";
    }
    case 'V':
      switch (n) {
        case 0:
        case 48:
          return Cut(false, 0);
        case 1:
        case 49:
          return Cut(true, 0);
        case 65:
        case 97:
        case 103:
          return Cut(false, c.At(3));
        case 66:
        case 98:
        case 104:
          return Cut(true, c.At(3));
        default:
          return kBadParameter;
      }
    case 'L':
    case 'W':
    case 'P':
    case '$':
    case '\\':
    case 'T':
    case '^':
    case ':':
    case 'E':
    case 'b':
    case 'c':
    case 'j':
    case '8':
    case '(':
    case 'a':
    case 'I':
    case 'r':
    case '<':
    case 'Z':
    case 'z':
    case 'g':
    case 'C':
    case 'Q':
      return kNoEffect;
    default:
      return kUnknown;
  }
}

std::string PrintEngine::ExecuteFs(const RawCommand& c) {
  switch (c.At(1)) {
    case 'p': {
      const int number = c.At(2);
      auto it = nv_images_.find(number);
      return PrintImage(it == nv_images_.end() ? nullptr : &it->second, c.At(3),
                        "FS p " + std::to_string(number));
    }
    case 'q':
      return DefineNvImages(c);
    case '&':
    case '.':
    case '!':
    case '-':
    case 'C':
    case 'W':
    case 'S':
    case '?':
    case '(':
    case 'g':
      return kNoEffect;
    default:
      return kUnknown;
  }
}

int PrintEngine::CharWidth() const { return (style_.font == 0 ? 12 : 9) * style_.width; }

int PrintEngine::LineWidth() const {
  if (!page_mode_) return geometry_.dots_per_line;
  // Turned a quarter, lines run along the area's height; before ESC W sets one, the
  // device's default page length applies.
  constexpr int kDefaultPageLength = 1662;
  if (page_.direction == 1 || page_.direction == 3)
    return page_.height > 0 ? page_.height : kDefaultPageLength;
  return page_.width > 0 ? page_.width : geometry_.dots_per_line;
}

void PrintEngine::AddText(const std::vector<uint8_t>& text) {
  for (uint8_t ch : text) AddChar(ch);
}

std::string PrintEngine::MoveTo(int64_t position) {
  // One motion unit is one dot. Positions outside the line are ignored, as on the device;
  // moving back over printed characters is not modelled.
  if (position < 0 || position > LineWidth()) return "position outside the line, ignored";
  if (position < line_dots_) return "ignored: moving left is not modelled";
  if (position == line_dots_) return "";
  if (runs_.empty() || !runs_.back().bytes.empty()) runs_.push_back(TextRun{"", style_});
  runs_.back().gap_dots += static_cast<int>(position - line_dots_);
  line_dots_ = static_cast<int>(position);
  return "";
}

void PrintEngine::AddChar(uint8_t ch) {
  const int width = CharWidth();
  // A full line prints by itself and the text goes on on the next line.
  if (line_dots_ > 0 && line_dots_ + width > LineWidth()) EndLine(SpacingDots());
  if (runs_.empty() || !(runs_.back().style == style_)) {
    if (!runs_.empty() && runs_.back().bytes.empty()) {
      runs_.back().style = style_;  // a gap takes the style of the text after it
    } else {
      runs_.push_back(TextRun{"", style_});
    }
  }
  runs_.back().bytes.push_back(char(ch));
  line_dots_ += width;
}

void PrintEngine::EndLine(int advance_dots) {
  const bool had_band = band_.has_value();
  if (band_) {
    Image band = std::move(*band_);
    band_.reset();
    band.alignment = alignment_;
    band.advance_dots = runs_.empty() ? advance_dots : 0;
    Out(std::move(band));
  }
  if (!runs_.empty() || !had_band) {
    TextLine line;
    line.runs = std::move(runs_);
    line.alignment = alignment_;
    line.line_spacing_dots = advance_dots;
    line.code_page = code_page_;
    Out(std::move(line));
    ++lines_;
  }
  runs_.clear();
  line_dots_ = 0;
}

void PrintEngine::FlushLineBeforeBlock() {
  if (!LineEmpty()) EndLine(SpacingDots());
}

void PrintEngine::Out(PrintOp op) {
  if (page_mode_) {
    page_contents_.push_back(std::move(op));
  } else {
    emit_(std::move(op));
  }
}

std::string PrintEngine::Cut(bool partial, int feed_units) {
  if (page_mode_) return "ignored in page mode";
  FlushLineBeforeBlock();
  if (feed_units > 0) Out(Feed{(feed_units + 1) / 2});
  Out(vdev::Cut{partial});
  ++receipts_;
  return "";
}

}  // namespace vdev::printer
