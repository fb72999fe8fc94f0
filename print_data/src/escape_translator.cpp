#include "print_data/escape_translator.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The output of one translation, written through a cursor into `out` itself. `out` grows
// ahead of the cursor and always keeps kSlack writable bytes past it, so the short commands
// of a sequence and 16-byte blocks of text are plain stores without a size check each. Such
// stores may run past `limit`; Over() tells, and the translation is then refused, so only the
// final length matters. Long writes (feeds, logos) are checked against the limit first.
class OutputCursor {
 public:
  static constexpr size_t kSlack = 64;

  OutputCursor(std::string& out, size_t limit, size_t expected)
      : out_(out), start_(out.size()), limit_(limit) {
    Resize(0, std::min(expected, limit_) + kSlack);
  }
  bool Over() const { return cursor_ > limit_end_; }
  // Restores the slack after short stores; only while !Over().
  void EnsureSlack() {
    if (static_cast<size_t>(end_ - cursor_) < kSlack) Grow(0);
  }
  // Makes room for `n` more bytes (and the slack after them); false when they would exceed
  // the limit.
  bool Reserve(size_t n) {
    if (cursor_ > limit_end_ || n > static_cast<size_t>(limit_end_ - cursor_)) return false;
    if (static_cast<size_t>(end_ - cursor_) < n + kSlack) Grow(n);
    return true;
  }
  // Reserve(n) for a small n, usually a single comparison.
  bool ReserveSmall(size_t n) {
    return block_end_ - cursor_ >= static_cast<std::ptrdiff_t>(n) || Reserve(n);
  }
  void Put(const char* bytes, size_t n) {
    std::memcpy(cursor_, bytes, n);
    cursor_ += n;
  }
  template <size_t N>
  void Put(const char (&bytes)[N]) {
    Put(bytes, N - 1);
  }
  void PutByte(char byte) { *cursor_++ = byte; }
  void PutRepeated(char byte, size_t n) {
    std::memset(cursor_, byte, n);
    cursor_ += n;
  }
  // Raw(): where the next byte goes; after Reserve(n), n bytes may be stored there.
  char* Raw() { return cursor_; }
  void Advance(size_t n) { cursor_ += n; }
  size_t Used() const { return static_cast<size_t>(cursor_ - base_); }
  size_t Room() const { return Over() ? 0 : limit_ - Used(); }
  // Hands `out` to code that appends to the string itself, then takes it back.
  std::string& Suspend() {
    out_.resize(start_ + Used());
    return out_;
  }
  void Resume() {
    const size_t used = out_.size() - start_;
    Resize(used, used + kSlack);
  }
  void Finish() { out_.resize(start_ + Used()); }
  void Discard() { out_.resize(start_); }

 private:
  void Resize(size_t used, size_t capacity) {
    out_.resize(start_ + capacity);
    base_ = out_.data() + start_;
    cursor_ = base_ + used;
    end_ = out_.data() + out_.size();
    limit_end_ = base_ + limit_;
    block_end_ = std::min(end_ - kSlack, limit_end_);
  }
  // Called with Used() + n within the limit.
  void Grow(size_t n) {
    const size_t used = Used();
    const size_t capacity = static_cast<size_t>(end_ - base_);
    Resize(used, std::max(used + n + kSlack, std::min(limit_ + kSlack, capacity * 2 + 64)));
  }

  std::string& out_;
  const size_t start_;
  const size_t limit_;
  char* base_ = nullptr;       // where this translation's output starts
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  char* limit_end_ = nullptr;  // base_ + limit_
  char* block_end_ = nullptr;  // writes up to here keep the slack and the limit
};

#ifdef __SSE2__
// Bit i set where text[i] is a control byte up to ESC (0x00..0x1B: ESC, CR, LF and rarer
// ones), for the 64 bytes at `text`. One comparison per byte keeps the scan close to the
// speed of copying; the few hits are told apart one by one.
// The 64 bytes are copied to `copy` on the way.
inline uint64_t CopyControlBytes64(const char* text, char* copy) {
  const __m128i highest = _mm_set1_epi8(kEsc);
  uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + 16 * part), block);
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, highest), block);
    mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(low))) << (16 * part);
  }
  return mask;
}

// The same for the 16 bytes at `text`: the short text between two sequences usually fits.
inline uint32_t CopyControlBytes16(const char* text, char* copy) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), block);
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(kEsc)), block);
  return static_cast<uint32_t>(_mm_movemask_epi8(low));
}
#endif

// One translation: the per-call state and the output being built.
class Pass {
 public:
  Pass(const TranslateSettings& settings, ColumnState columns, std::string& out, size_t expected)
      : settings_(settings), columns_(columns), out_(out, settings.output_limit, expected) {
    mode_ = InitialModeByte(settings.rec_line_chars);
    column_ = columns_.line_open ? columns_.carried_column : 0;
  }

  bool Run(std::string_view data) {
    const char* text = data.data();
    const size_t length = data.size();
    size_t pos = 0;
    while (pos < length && !overflow_ && !out_.Over()) {
      out_.EnsureSlack();
#ifdef __SSE2__
      if (pos + 16 <= length) {
        // The text up to the next control byte, when it is short, is taken in one store;
        // longer text goes to the block scan.
        const uint32_t hits = CopyControlBytes16(text + pos, out_.Raw());
        if (hits == 0) {
          pos = PlainText(text, pos, length);
          continue;
        }
        const size_t run = static_cast<size_t>(__builtin_ctz(hits));
        out_.Advance(run);
        Columns(run);
        pos += run;
      } else
#endif
      if (static_cast<unsigned char>(text[pos]) > static_cast<unsigned char>(kEsc)) {
        // The last few bytes, or no SSE2: one at a time.
        out_.PutByte(text[pos++]);
        Columns(1);
        continue;
      }
      pos = ControlByte(text, pos, length);
    }
    if (overflow_ || out_.Over()) {
      out_.Discard();
      return false;
    }
    out_.Finish();
    // The line in progress carries its columns into the next call, also after a line end
    // earlier in this call, so that a rotated page is sized by every line it holds.
    columns_.carried_column = column_;
    columns_.line_open = column_ != 0;
    return true;
  }

  const ColumnState& columns() const { return columns_; }

 private:
  // The control byte at `pos` (ESC, a line end or a rarer one); returns where scanning
  // resumes. The output has its slack.
  size_t ControlByte(const char* text, size_t pos, size_t length) {
    const char byte = text[pos];
    if (byte == kEsc && pos + 1 < length && text[pos + 1] == '|') return Sequence(text, length, pos);
    out_.PutByte(byte);
    if (byte == '\r' || byte == '\n') {
      LineEnd();
    } else {
      Columns(1);  // a lone ESC and the other control bytes are ordinary data
    }
    return pos + 1;
  }

  // Short fixed commands: the output always has room for them (its slack).
  template <size_t N>
  void Put(const char (&bytes)[N]) {
    out_.Put(bytes);
  }

  void Emit(const char* bytes, size_t n) {
    if (n == 0) return;  // `bytes` may be null then
    if (!out_.Reserve(n)) {
      overflow_ = true;
      return;
    }
    out_.Put(bytes, n);
  }
  void Emit(std::string_view bytes) { Emit(bytes.data(), bytes.size()); }
  void EmitRepeated(char byte, int64_t count) {
    if (count <= 0) return;
    if (static_cast<uint64_t>(count) > out_.Room() || !out_.Reserve(static_cast<size_t>(count))) {
      overflow_ = true;
      return;
    }
    out_.PutRepeated(byte, static_cast<size_t>(count));
  }

  // Column bookkeeping of the plain text from `pos` up to the next ESC (or the end), whose
  // position it returns. Blocks of 64 bytes are looked at in one go.
  size_t PlainText(const char* text, size_t pos, size_t length) {
    size_t segment = pos;  // start of the line part not yet counted
    bool ended = false;    // a line ended in this text
    size_t longest = 0;    // longest line between two line ends of this text
    // The first line end finishes the line in progress; the lines after it start at the
    // left margin with no width increment, so only their lengths matter.
    auto line_end = [&](size_t at) {
      if (ended) {
        longest = std::max(longest, at - segment);
      } else {
        Columns(at - segment);
        LineEnd();
        ended = true;
      }
      segment = at + 1;
    };
#ifdef __SSE2__
    // Whole blocks are copied as they are scanned; the cursor moves only over the part
    // before an ESC. Near the output limit the exact path below takes over.
    for (; pos + 64 <= length && out_.ReserveSmall(64); pos += 64) {
      for (uint64_t hits = CopyControlBytes64(text + pos, out_.Raw()); hits != 0;
           hits &= hits - 1) {
        const size_t at = pos + static_cast<size_t>(__builtin_ctzll(hits));
        if (text[at] == kEsc) {
          out_.Advance(at - pos);
          pos = at;
          goto done;
        }
        if (text[at] == '\r' || text[at] == '\n') line_end(at);
      }
      out_.Advance(64);
    }
#endif
    {
      const size_t tail = pos;
      for (; pos < length && text[pos] != kEsc; ++pos) {
        if (text[pos] == '\r' || text[pos] == '\n') line_end(pos);
      }
      Emit(text + tail, pos - tail);
    }
#ifdef __SSE2__
  done:
#endif
    columns_.widest_line = std::max(columns_.widest_line, static_cast<int64_t>(longest));
    Columns(pos - segment);
    return pos;
  }

  // `n` printed characters of the line in progress.
  void Columns(size_t n) {
    column_ += static_cast<int64_t>(n) * (1 + width_increment_);
    line_start_ = line_start_ && n == 0;
  }

  void LineEnd() {
    columns_.widest_line = std::max(columns_.widest_line, column_);
    columns_.carried_column = 0;
    columns_.line_open = false;
    width_increment_ = 0;
    column_ = 0;
    line_start_ = true;
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
    out_.Put(text + pos, 2);
    return pos + 2;
  }

  void EmitMode() {
    const char bytes[] = {kEsc, '!', static_cast<char>(mode_)};
    out_.Put(bytes, 3);
    if (underline_ == 1) Put("\x1B-1");
    if (underline_ == 2) Put("\x1B-2");
  }
  void EmitSize() {
    const char bytes[] = {kGs, '!', static_cast<char>(size_)};
    out_.Put(bytes, 3);
  }

  bool Apply(char qualifier, bool reverse_video, char terminator, int32_t n) {
    const bool thermal = thermal_;
    if (reverse_video) {
      if (terminator != 'C') return false;
      if (thermal) Put("\x1D\x42\x01");
      return true;
    }
    switch (terminator) {
      case 'A':
        if (qualifier != 'c' && qualifier != 'r') return false;
        if (line_start_) {
          qualifier == 'c' ? Put("\x1B\x61\x31") : Put("\x1B\x61\x32");
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
            if (FeedUnitsLength(dots) > out_.Room()) {
              overflow_ = true;
            } else {
              AppendFeedUnits(dots, settings_.kind, out_.Suspend());
              out_.Resume();
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
        if (line_start_) Put("\x1B\x61\x30");
        mode_ = InitialModeByte(settings_.rec_line_chars);
        underline_ = 0;
        Put("\x1B\x45\x30\x1B\x2D\x30\x1B!");
        out_.PutByte(static_cast<char>(mode_));
        return true;
      case 'P':
        if (qualifier == 0) {
          Put("\x1B\x6D");
        } else if (qualifier == 'f') {
          EmitRepeated('\n', settings_.rec_lines_to_paper_cut);
          Put("\x1B\x6D");
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
        Put("\x1B\x45\x31");
        mode_ |= kEmphasized;
        return true;
      case 'u':
        underline_ = n == 2 ? 2 : 1;
        n == 2 ? Put("\x1B\x2D\x32") : Put("\x1B\x2D\x31");
        return true;
      case 'i':
      case 's':
        return true;
      case 'r':
        if (!thermal) Put("\x1B\x72\x01");
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
  const bool thermal_ = settings_.kind == PrinterKind::kThermal;
  ColumnState columns_;
  OutputCursor out_;
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
  // Translated text is about as long as its source: room for that is made at once.
  Pass pass(settings, columns_, out, data.size() + 64);
  if (!pass.Run(data)) return kIllegal;
  columns_ = pass.columns();
  return kSuccess;
}

Encoded EscapeTranslator::Translate(std::string_view data, const TranslateSettings& settings) {
  Encoded encoded;
  encoded.result = TranslateAppend(data, settings, encoded.bytes);
  return encoded;
}

int32_t EscapeTranslator::widest_line() const {
  return static_cast<int32_t>(
      std::min<int64_t>(columns_.widest_line, std::numeric_limits<int32_t>::max()));
}

}  // namespace print_data
