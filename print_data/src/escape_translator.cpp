#include "print_data/escape_translator.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "line_scan.h"
#include "print_data/feed_units.h"
#include "print_data/map_mode.h"

namespace print_data {
namespace {

constexpr char kEsc = 0x1B;
constexpr char kGs = 0x1D;
constexpr uint8_t kEmphasized = 0x08;
constexpr uint8_t kDoubleHeight = 0x10;
constexpr uint8_t kDoubleWidth = 0x20;

uint8_t InitialModeByte(int32_t rec_line_chars) { return rec_line_chars == 56 ? 0x41 : 0x40; }

// GS ! takes multipliers 1..8 per nibble; stacking scales never carries into the other
// nibble or wraps to a zero byte.
uint8_t RaiseWidth(uint8_t size, int steps) {
  const int width = std::min((size >> 4) + steps, 7);
  return static_cast<uint8_t>((width << 4) | (size & 0x0F));
}
uint8_t RaiseHeight(uint8_t size, int steps) {
  const int height = std::min((size & 0x0F) + steps, 7);
  return static_cast<uint8_t>((size & 0xF0) | height);
}

// One translation: the per-call state and the output being built.
class Pass {
 public:
  Pass(const TranslateSettings& settings, ColumnState columns, std::string& out)
      : settings_(settings), columns_(columns), out_(out), start_(out.size()) {
    mode_ = InitialModeByte(settings.rec_line_chars);
    column_ = columns_.line_open ? columns_.carried_column : 0;
  }

  bool Run(std::string_view data) {
    const char* text = data.data();
    const size_t length = data.size();
    size_t pos = 0;
    while (pos < length && !overflow_) {
      const size_t end = NextEscape(text, pos, length);
      if (end > pos) PlainRun(text + pos, end - pos);
      pos = end;
      if (pos >= length || overflow_) break;
      if (pos + 1 < length && text[pos + 1] == '|') {
        pos = Sequence(text, length, pos);
      } else {
        PlainRun(text + pos, 1);
        ++pos;
      }
    }
    if (overflow_) return false;
    // The line in progress carries its columns into the next call, also after a line end
    // earlier in this call, so that a rotated page is sized by every line it holds.
    columns_.carried_column = column_;
    columns_.line_open = column_ != 0;
    return true;
  }

  const ColumnState& columns() const { return columns_; }

 private:
  // Sequences usually sit a few bytes apart: look at the next bytes directly before
  // handing a long search to memchr.
  static size_t NextEscape(const char* text, size_t pos, size_t length) {
    const size_t near_end = std::min(length, pos + 16);
    for (; pos < near_end; ++pos) {
      if (text[pos] == kEsc) return pos;
    }
    if (pos == length) return length;
    const void* esc = std::memchr(text + pos, kEsc, length - pos);
    return esc ? static_cast<size_t>(static_cast<const char*>(esc) - text) : length;
  }

  size_t Room() const { return settings_.output_limit - std::min(Used(), settings_.output_limit); }
  size_t Used() const { return out_.size() - start_; }

  void Emit(std::string_view bytes) {
    if (bytes.size() > Room()) {
      overflow_ = true;
      return;
    }
    out_.append(bytes);
  }
  void EmitRepeated(char byte, int64_t count) {
    if (count <= 0) return;
    if (static_cast<uint64_t>(count) > Room()) {
      overflow_ = true;
      return;
    }
    out_.append(static_cast<size_t>(count), byte);
  }

  void LineEnd() {
    columns_.widest_line = std::max(columns_.widest_line, column_);
    columns_.carried_column = 0;
    columns_.line_open = false;
    width_increment_ = 0;
    column_ = 0;
    line_start_ = true;
  }

  // Text without escape sequences: copied as it is, only the column bookkeeping changes.
  void PlainRun(const char* text, size_t length) {
    Emit(std::string_view(text, length));
    if (overflow_) return;
    if (length < 16) {
      for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
          LineEnd();
        } else {
          column_ += 1 + width_increment_;
          line_start_ = false;
        }
      }
      return;
    }
    const LineEnds ends = ScanLineEnds(text, length);
    if (!ends.any) {
      column_ += static_cast<int64_t>(length) * (1 + width_increment_);
      line_start_ = false;
      return;
    }
    column_ += static_cast<int64_t>(ends.first) * (1 + width_increment_);
    LineEnd();
    // Lines between line ends are printed without a width increment (it ends with a line).
    columns_.widest_line = std::max(columns_.widest_line, static_cast<int64_t>(ends.longest_inner));
    const size_t tail = length - ends.last - 1;
    if (tail > 0) {
      column_ = static_cast<int64_t>(tail);
      line_start_ = false;
    }
  }

  // Parses the sequence whose ESC is at `pos` and returns where scanning resumes.
  size_t Sequence(const char* text, size_t length, size_t pos) {
    size_t i = pos + 2;
    int64_t number = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
      number =
          std::min<int64_t>(number * 10 + (text[i] - '0'), std::numeric_limits<int32_t>::max());
    }
    char qualifier = 0;
    bool reverse_video = false;
    if (i < length && text[i] >= 'a' && text[i] <= 'z') {
      qualifier = text[i++];
      if (qualifier == 'r' && i + 1 < length && text[i] == 'v' && text[i + 1] == 'C') {
        reverse_video = true;
        ++i;
      }
    }
    if (i < length && Apply(qualifier, reverse_video, text[i], static_cast<int32_t>(number))) {
      return i + 1;
    }
    // Unrecognised: ESC and "|" go out unchanged, the rest is ordinary data.
    Emit(std::string_view(text + pos, 2));
    return pos + 2;
  }

  void EmitMode() {
    const char bytes[] = {kEsc, '!', static_cast<char>(mode_)};
    Emit(std::string_view(bytes, 3));
    if (underline_ == 1) Emit("\x1B-1");
    if (underline_ == 2) Emit("\x1B-2");
  }
  void EmitSize() {
    const char bytes[] = {kGs, '!', static_cast<char>(size_)};
    Emit(std::string_view(bytes, 3));
  }

  bool Apply(char qualifier, bool reverse_video, char terminator, int32_t n) {
    const bool thermal = settings_.kind == PrinterKind::kThermal;
    if (reverse_video) {
      if (terminator != 'C') return false;
      if (thermal) Emit("\x1D\x42\x01");
      return true;
    }
    switch (terminator) {
      case 'A':
        if (qualifier != 'c' && qualifier != 'r') return false;
        if (line_start_) {
          Emit(qualifier == 'c' ? "\x1B\x61\x31" : "\x1B\x61\x32");
          line_start_ = false;
        }
        return true;
      case 'C':
        return Character(qualifier, n, thermal);
      case 'F':
        if (qualifier == 'l') {
          EmitRepeated('\n', n == 0 ? 1 : n);
        } else if (qualifier == 'u') {
          if (settings_.rotation_mode == 0) {
            const int64_t dots = ToDots(n, settings_.map_mode);
            if (FeedUnitsLength(dots) > Room()) {
              overflow_ = true;
            } else {
              AppendFeedUnits(dots, settings_.kind, out_);
            }
          }
        } else if (qualifier != 'r') {
          return false;
        }
        return true;
      case 'L':
        if (qualifier == 't') {
          Emit(settings_.top_logo);
        } else if (qualifier == 'b') {
          Emit(settings_.bottom_logo);
        } else if (qualifier != 's') {
          return false;
        }
        return true;
      case 'N':
        if (qualifier != 0) return false;
        if (line_start_) Emit("\x1B\x61\x30");
        mode_ = InitialModeByte(settings_.rec_line_chars);
        underline_ = 0;
        Emit("\x1B\x45\x30\x1B\x2D\x30");
        Emit(std::string_view("\x1B!", 2));
        Emit(std::string_view(reinterpret_cast<const char*>(&mode_), 1));
        return true;
      case 'P':
        if (qualifier == 0) {
          Emit("\x1B\x6D");
        } else if (qualifier == 'f') {
          EmitRepeated('\n', settings_.rec_lines_to_paper_cut);
          Emit("\x1B\x6D");
        } else if (qualifier != 's') {
          return false;
        }
        return true;
      case 'T':
        return qualifier == 'f';
      default:
        return false;
    }
  }

  bool Character(char qualifier, int32_t n, bool thermal) {
    switch (qualifier) {
      case 'b':
        Emit("\x1B\x45\x31");
        mode_ |= kEmphasized;
        return true;
      case 'u':
        underline_ = n == 2 ? 2 : 1;
        Emit(n == 2 ? "\x1B\x2D\x32" : "\x1B\x2D\x31");
        return true;
      case 'i':
      case 's':
        return true;
      case 'r':
        if (!thermal) Emit("\x1B\x72\x01");
        return true;
      case 'h':
        HorizontalScale(n, thermal);
        return true;
      case 'v':
        VerticalScale(n, thermal);
        return true;
      case 0:
        if (n < 1 || n > 4) return false;
        mode_ = static_cast<uint8_t>(mode_ & ~(kDoubleHeight | kDoubleWidth));
        if (n == 2 || n == 4) mode_ |= kDoubleWidth;
        if (n == 3 || n == 4) mode_ |= kDoubleHeight;
        width_increment_ = (n == 2 || n == 4) ? 1 : 0;
        EmitMode();
        return true;
      default:
        return false;
    }
  }

  void HorizontalScale(int32_t n, bool thermal) {
    if (n < 1 || n > 8) return;
    if (n == 1) {
      mode_ &= static_cast<uint8_t>(~kDoubleWidth);
      width_increment_ = 0;
      EmitMode();
    } else if (n == 2) {
      mode_ |= kDoubleWidth;
      width_increment_ = 1;
      if (size_ == 0) {
        EmitMode();
      } else {
        size_ = RaiseWidth(size_, 1);
        EmitSize();
      }
    } else {
      width_increment_ = n - 1;
      if (!thermal) return;
      mode_ &= static_cast<uint8_t>(~kDoubleWidth);
      size_ &= 0x0F;
      if (mode_ & kDoubleHeight) {
        mode_ &= static_cast<uint8_t>(~kDoubleHeight);
        size_ = RaiseHeight(size_, 1);
      }
      size_ = RaiseWidth(size_, n - 1);
      EmitSize();
    }
  }

  void VerticalScale(int32_t n, bool thermal) {
    if (n < 1 || n > 8) return;
    width_increment_ = 0;
    if (n == 1) {
      mode_ &= static_cast<uint8_t>(~kDoubleHeight);
      EmitMode();
    } else if (n == 2) {
      mode_ |= kDoubleHeight;
      EmitMode();
    } else if (thermal) {
      mode_ &= static_cast<uint8_t>(~kDoubleHeight);
      size_ &= 0xF0;
      if (mode_ & kDoubleWidth) {
        mode_ &= static_cast<uint8_t>(~kDoubleWidth);
        size_ = RaiseWidth(size_, 1);
      }
      size_ = RaiseHeight(size_, n - 1);
      EmitSize();
    }
  }

  const TranslateSettings& settings_;
  ColumnState columns_;
  std::string& out_;
  const size_t start_;
  bool overflow_ = false;

  uint8_t mode_ = 0x40;
  uint8_t size_ = 0;
  int underline_ = 0;
  bool line_start_ = true;
  int width_increment_ = 0;
  int64_t column_ = 0;
};

}  // namespace

int32_t EscapeTranslator::TranslateAppend(std::string_view data, const TranslateSettings& settings,
                                          std::string& out) {
  if (const void* zero = std::memchr(data.data(), 0, data.size())) {
    data = data.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - data.data()));
  }
  const size_t start = out.size();
  Pass pass(settings, columns_, out);
  if (!pass.Run(data)) {
    out.resize(start);
    return kIllegal;
  }
  columns_ = pass.columns();
  return kSuccess;
}

Encoded EscapeTranslator::Translate(std::string_view data, const TranslateSettings& settings) {
  Encoded encoded;
  encoded.bytes.reserve(data.size() + 16);
  encoded.result = TranslateAppend(data, settings, encoded.bytes);
  return encoded;
}

int32_t EscapeTranslator::widest_line() const {
  return static_cast<int32_t>(
      std::min<int64_t>(columns_.widest_line, std::numeric_limits<int32_t>::max()));
}

}  // namespace print_data
