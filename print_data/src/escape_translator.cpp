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

// The output of one translation: `out` itself, written through a cursor the translation
// holds in a local variable (so that the byte stores cannot make the compiler reload it).
// `out` grows ahead of the cursor and keeps kSlack writable bytes past it, so the short
// commands of a sequence and 16-byte blocks of text are plain stores without a size check
// each. Such stores may run past `limit`; the translation is then refused, so only the final
// length matters. Long writes (feeds, logos) are checked against the limit first.
class OutputBuffer {
 public:
  // A scan window of 64 bytes produces at most about 260 bytes (21 "ESC|N" at a line start,
  // 11 bytes each, one more sequence running past the window, a 16-byte store's overrun).
  static constexpr size_t kSlack = 320;

  OutputBuffer(std::string& out, size_t limit, size_t expected)
      : out_(out), start_(out.size()), limit_(limit) {
    Resize(std::min(expected, limit_) + kSlack);
  }
  char* Start() { return base_; }
  bool Over(const char* cursor) const { return cursor > limit_end_; }
  // Short stores keep the slack and the limit while the cursor stays at or before this.
  const char* CheckPoint() const { return block_end_; }
  // Restores the slack after short stores; only while !Over(). Returns the cursor, which
  // moves when the buffer does.
  char* EnsureSlack(char* cursor) {
    return static_cast<size_t>(end_ - cursor) < kSlack ? Grow(cursor, 0) : cursor;
  }
  // Makes room for `n` more bytes (and the slack after them) and returns the cursor; null
  // when they would exceed the limit.
  char* Reserve(char* cursor, size_t n) {
    if (cursor > limit_end_ || n > static_cast<size_t>(limit_end_ - cursor)) return nullptr;
    return static_cast<size_t>(end_ - cursor) < n + kSlack ? Grow(cursor, n) : cursor;
  }
  size_t Room(const char* cursor) const {
    return Over(cursor) ? 0 : limit_ - static_cast<size_t>(cursor - base_);
  }
  // Hands `out` to code that appends to the string itself, then takes it back.
  std::string& Suspend(const char* cursor) {
    out_.resize(start_ + static_cast<size_t>(cursor - base_));
    return out_;
  }
  char* Resume() {
    const size_t used = out_.size() - start_;
    Resize(used + kSlack);
    return base_ + used;
  }
  void Finish(const char* cursor) { out_.resize(start_ + static_cast<size_t>(cursor - base_)); }
  void Discard() { out_.resize(start_); }

 private:
  void Resize(size_t capacity) {
    out_.resize(start_ + capacity);
    base_ = out_.data() + start_;
    end_ = out_.data() + out_.size();
    limit_end_ = base_ + limit_;
    block_end_ = std::min(end_ - kSlack, limit_end_);
  }
  // Called with the cursor plus `n` within the limit.
  char* Grow(const char* cursor, size_t n) {
    const size_t used = static_cast<size_t>(cursor - base_);
    const size_t capacity = static_cast<size_t>(end_ - base_);
    Resize(std::max(used + n + kSlack, std::min(limit_ + kSlack, capacity * 2 + 64)));
    return base_ + used;
  }

  std::string& out_;
  const size_t start_;
  const size_t limit_;
  char* base_ = nullptr;  // where this translation's output starts
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
#pragma GCC unroll 4
  for (int part = 0; part < 4; ++part) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + 16 * part), block);
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, highest), block);
    mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(low))) << (16 * part);
  }
  return mask;
}

// The same for the 16 bytes at `text`.
inline uint32_t CopyControlBytes16(const char* text, char* copy) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), block);
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(kEsc)), block);
  return static_cast<uint32_t>(_mm_movemask_epi8(low));
}
#endif

// What the letters of a sequence "ESC|[digits][qualifier]terminator" ask for.
enum class Op : uint8_t {
  kUnknown,  // not a sequence of this printer: ESC and "|" go out as data
  kIgnored,  // recognised, nothing to send (italic, subscript, slip feeds, ...)
  kCenter,
  kRight,
  kBold,
  kUnderline,
  kRed,  // "rC": the dot-matrix model's second colour
  kCharSize,
  kHorizontalScale,
  kVerticalScale,
  kFeedLines,
  kFeedUnits,
  kTopLogo,
  kBottomLogo,
  kNormal,
  kCut,
  kFeedCut,
};

constexpr Op OpFor(char terminator, char qualifier) {
  switch (terminator) {
    case 'A':
      return qualifier == 'c' ? Op::kCenter : qualifier == 'r' ? Op::kRight : Op::kUnknown;
    case 'C':
      switch (qualifier) {
        case 'b':
          return Op::kBold;
        case 'u':
          return Op::kUnderline;
        case 'i':
        case 's':
          return Op::kIgnored;
        case 'r':
          return Op::kRed;
        case 'h':
          return Op::kHorizontalScale;
        case 'v':
          return Op::kVerticalScale;
        case 0:
          return Op::kCharSize;
        default:
          return Op::kUnknown;
      }
    case 'F':
      return qualifier == 'l'   ? Op::kFeedLines
             : qualifier == 'u' ? Op::kFeedUnits
             : qualifier == 'r' ? Op::kIgnored
                                : Op::kUnknown;
    case 'L':
      return qualifier == 't'   ? Op::kTopLogo
             : qualifier == 'b' ? Op::kBottomLogo
             : qualifier == 's' ? Op::kIgnored
                                : Op::kUnknown;
    case 'N':
      return qualifier == 0 ? Op::kNormal : Op::kUnknown;
    case 'P':
      return qualifier == 0     ? Op::kCut
             : qualifier == 'f' ? Op::kFeedCut
             : qualifier == 's' ? Op::kIgnored
                                : Op::kUnknown;
    case 'T':
      return qualifier == 'f' ? Op::kIgnored : Op::kUnknown;
    default:
      return Op::kUnknown;
  }
}

// Every terminator byte against no qualifier or a lower-case one, looked up in one step.
struct OpTable {
  Op ops[256][27] = {};
  constexpr OpTable() {
    for (int terminator = 0; terminator < 256; ++terminator) {
      ops[terminator][0] = OpFor(static_cast<char>(terminator), 0);
      for (int q = 0; q < 26; ++q) {
        ops[terminator][q + 1] = OpFor(static_cast<char>(terminator), static_cast<char>('a' + q));
      }
    }
  }
};
constexpr OpTable kOps;

inline bool IsLineEnd(char byte) { return byte == '\r' || byte == '\n'; }
inline bool IsDigit(unsigned char byte) { return static_cast<unsigned char>(byte - '0') < 10; }
inline bool IsLower(unsigned char byte) { return static_cast<unsigned char>(byte - 'a') < 26; }

// The modes the sequences read and change, and the columns of the line in progress. A
// translation keeps them in a local variable, for the same reason as the output cursor.
struct LineModes {
  int64_t column = 0;
  int64_t widest_line = 0;
  int32_t width_increment = 0;  // extra columns per character while scaled wider
  uint8_t mode = 0x40;          // the ESC ! byte
  uint8_t size = 0;             // the GS ! byte
  uint8_t underline = 0;
  bool line_start = true;

  // `n` printed characters of the line in progress.
  void Columns(size_t n) {
    column += static_cast<int64_t>(n) * (1 + width_increment);
    line_start &= n == 0;
  }
  void LineEnd() {
    widest_line = std::max(widest_line, column);
    width_increment = 0;
    column = 0;
    line_start = true;
  }
};

// For the functions the scanning loop calls with its local state: inlined, that state stays
// in registers; a real call would need its address and keep it in memory.
#define HOT [[gnu::always_inline]] inline

// Short fixed commands: the output always has room for them (its slack).
template <size_t N>
HOT void Put(char*& out, const char (&bytes)[N]) {
  std::memcpy(out, bytes, N - 1);
  out += N - 1;
}

// One translation: the settings, the column state it starts from and the output buffer.
class Pass {
 public:
  Pass(const TranslateSettings& settings, ColumnState columns, std::string& out, size_t expected)
      : settings_(settings), columns_(columns), buffer_(out, settings.output_limit, expected) {}

  bool Run(std::string_view data) {
    LineModes m;
    m.mode = initial_mode_;
    m.column = columns_.line_open ? columns_.carried_column : 0;
    m.widest_line = columns_.widest_line;
    char* out = buffer_.Start();
    const char* check = buffer_.CheckPoint();
    const char* p = data.data();
    const char* const end = p + data.size();
#ifdef __SSE2__
    // Windows of 64 bytes: one scan finds the control bytes (ESC, line ends, rarer ones);
    // the text between two of them is copied in 16-byte stores. Sequences hold no control
    // byte, so the scan stays valid after one. The window and a sequence near its end
    // may read kLookahead bytes past it.
    while (end - p >= 64 + kLookahead) {
      if (out > check && !RestoreSlack(out, check)) break;  // past the limit: refused below
      const Position text = PlainText(p, end - kLookahead, check, m, out);
      p = text.in;
      out = text.out;
      if (p < end && *p == 0) break;  // the data ends at its first zero byte
      if (end - p < 64 + kLookahead || *p != kEsc || out > check) continue;
      // A window from the ESC: its sequences and the text between them.
      const char* const window = p;
      for (uint64_t hits = CopyControlBytes64(window, out); hits != 0; hits &= hits - 1) {
        const char* const at = window + __builtin_ctzll(hits);
        if (at < p) continue;  // a guard only: sequences hold no control byte
        CopyText(p, at, out);
        m.Columns(static_cast<size_t>(at - p));
        p = at;
        ControlByte(p, end, m, out);
        check = buffer_.CheckPoint();
      }
      if (over_limit_) break;
      if (p < window + 64) {
        CopyText(p, window + 64, out);
        m.Columns(static_cast<size_t>(window + 64 - p));
        p = window + 64;
      }
    }
#endif
    // The last bytes: text up to the next control byte 16 bytes at a time, then one at a time.
    while (!over_limit_ && p < end) {
      if (out > check && !RestoreSlack(out, check)) break;  // past the limit: refused below
#ifdef __SSE2__
      if (end - p >= 16) {
        const uint32_t hits = CopyControlBytes16(p, out);
        const size_t run = hits == 0 ? 16 : static_cast<size_t>(__builtin_ctz(hits));
        out += run;
        p += run;
        m.Columns(run);
        if (hits == 0) continue;
      } else
#endif
          if (static_cast<unsigned char>(*p) > static_cast<unsigned char>(kEsc)) {
        *out++ = *p++;
        m.Columns(1);
        continue;
      }
      ControlByte(p, end, m, out);
      check = buffer_.CheckPoint();
    }
    if (over_limit_ || buffer_.Over(out)) {
      buffer_.Discard();
      return false;
    }
    buffer_.Finish(out);
    // The line in progress carries its columns into the next call, also after a line end
    // earlier in this call, so that a rotated page is sized by every line it holds.
    columns_.widest_line = m.widest_line;
    columns_.carried_column = m.column;
    columns_.line_open = m.column != 0;
    return true;
  }

  const ColumnState& columns() const { return columns_; }

 private:
  static constexpr std::ptrdiff_t kLookahead = 32;

  // After short stores took the cursor past `check`: false when they passed the limit, else
  // makes the slack again (the buffer may move) and updates both.
  bool RestoreSlack(char*& out, const char*& check) {
    if (buffer_.Over(out)) return false;
    out = buffer_.EnsureSlack(out);
    check = buffer_.CheckPoint();
    return true;
  }

#ifdef __SSE2__
  // The text from `from` to `to` (no control byte in it), in 16-byte stores; the output's
  // slack takes the overrun.
  HOT static void CopyText(const char* from, const char* to, char*& out) {
    const std::ptrdiff_t n = to - from;
    std::ptrdiff_t i = 0;
    do {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
      i += 16;
    } while (i < n);
    out += n;
  }

  struct Position {
    const char* in;
    char* out;
  };
  // Text and line ends from `p` up to the next ESC or zero byte, in windows of 64 bytes copied as
  // they are scanned; the line ends are only counted. Stops early before a window that would pass
  // `stop` or when the output needs a check. Returns where the text ends.
  HOT Position PlainText(const char* p, const char* stop, const char* check, LineModes& m,
                         char* out) {
    const char* segment = p;  // start of the line part not yet counted
    bool ended = false;       // a line ended in this text
    int64_t longest = 0;      // longest line between two line ends of this text
    for (; stop - p >= 64 && out <= check; p += 64, out += 64) {
      for (uint64_t hits = CopyControlBytes64(p, out); hits != 0; hits &= hits - 1) {
        const char* const at = p + __builtin_ctzll(hits);
        if (*at == kEsc || *at == 0) {
          out += at - p;
          p = at;
          goto done;
        }
        if (!IsLineEnd(*at)) continue;
        // The first line end finishes the line in progress; the lines after it start at
        // the left margin unscaled, so their lengths are their columns.
        if (ended) {
          longest = std::max<int64_t>(longest, at - segment);
        } else {
          m.Columns(static_cast<size_t>(at - segment));
          m.LineEnd();
          ended = true;
        }
        segment = at + 1;
      }
    }
  done:
    m.widest_line = std::max(m.widest_line, longest);
    m.Columns(static_cast<size_t>(p - segment));
    return {p, out};
  }
#endif

  // The control byte at `p` (ESC, a line end or a rarer one); moves `p` past what it
  // handled.
  HOT void ControlByte(const char*& p, const char* end, LineModes& m, char*& out) {
    const char byte = *p;
    if (byte == kEsc && end - p > 1 && p[1] == '|') {
      Sequence(p, end, m, out);
      return;
    }
    if (byte == 0) {  // the data ends at its first zero byte
      p = end;
      return;
    }
    *out++ = byte;
    ++p;
    if (IsLineEnd(byte)) {
      m.LineEnd();
    } else {
      m.Columns(1);  // a lone ESC and the other control bytes are ordinary data
    }
  }

  // Decodes the sequence whose ESC is at `p`, carries it out and moves `p` to where scanning
  // resumes.
  HOT void Sequence(const char*& p, const char* end, LineModes& m, char*& out) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p) + 2;
    const auto* const stop = reinterpret_cast<const unsigned char*>(end);
    int64_t number = 0;
    if (s < stop && IsDigit(*s)) {
      number = *s++ - '0';
      for (; s < stop && IsDigit(*s); ++s) {
        number = std::min<int64_t>(number * 10 + (*s - '0'), std::numeric_limits<int32_t>::max());
      }
    }
    int qualifier = 0;  // 0, or 1..26 for 'a'..'z'
    if (s < stop && IsLower(*s)) {
      qualifier = *s++ - 'a' + 1;
      if (qualifier == 'r' - 'a' + 1 && stop - s > 1 && s[0] == 'v' && s[1] == 'C') {
        if (thermal_) Put(out, "\x1D\x42\x01");  // reverse video
        p = reinterpret_cast<const char*>(s + 2);
        return;
      }
    }
    if (s < stop && Apply(kOps.ops[*s][qualifier], static_cast<int32_t>(number), m, out)) {
      p = reinterpret_cast<const char*>(s + 1);
      return;
    }
    // Unrecognised: ESC and "|" go out unchanged (a printer command, taking no column), the
    // rest is ordinary data.
    std::memcpy(out, p, 2);
    out += 2;
    p += 2;
  }

  // Carries out a decoded sequence; false when it is not one after all (a size out of range).
  HOT bool Apply(Op op, int32_t n, LineModes& m, char*& out) {
    switch (op) {
      case Op::kUnknown:
        return false;
      case Op::kIgnored:
        break;
      case Op::kCenter:
      case Op::kRight:
        if (m.line_start) {
          op == Op::kCenter ? Put(out, "\x1B\x61\x31") : Put(out, "\x1B\x61\x32");
          m.line_start = false;
        }
        break;
      case Op::kBold:
        Put(out, "\x1B\x45\x31");
        m.mode |= kEmphasized;
        break;
      case Op::kUnderline:
        m.underline = n == 2 ? 2 : 1;
        n == 2 ? Put(out, "\x1B\x2D\x32") : Put(out, "\x1B\x2D\x31");
        break;
      case Op::kRed:
        if (!thermal_) Put(out, "\x1B\x72\x01");
        break;
      case Op::kCharSize:
        if (n < 1 || n > 4) return false;
        m.mode = static_cast<uint8_t>(m.mode & ~(kDoubleHeight | kDoubleWidth));
        if (n == 2 || n == 4) m.mode |= kDoubleWidth;
        if (n == 3 || n == 4) m.mode |= kDoubleHeight;
        m.width_increment = (n == 2 || n == 4) ? 1 : 0;
        EmitMode(m, out);
        break;
      case Op::kHorizontalScale:
        HorizontalScale(n, m, out);
        break;
      case Op::kVerticalScale:
        VerticalScale(n, m, out);
        break;
      case Op::kNormal:
        if (m.line_start) Put(out, "\x1B\x61\x30");
        m.mode = initial_mode_;
        m.underline = 0;
        Put(out, "\x1B\x45\x30\x1B\x2D\x30\x1B!");
        *out++ = static_cast<char>(m.mode);
        break;
      case Op::kCut:
        Put(out, "\x1B\x6D");
        break;
      default:
        // Output of any length: checked against the limit first.
        out = LongOutput(op, n, out);
        break;
    }
    return true;
  }

  // Feeds, logos and the feed before a cut; output over the limit is not written but
  // refuses the translation. Returns the cursor.
  char* LongOutput(Op op, int32_t n, char* out) {
    char* const next = LongOutputOrNull(op, n, out);
    if (next != nullptr) return next;
    over_limit_ = true;
    return out;
  }
  char* LongOutputOrNull(Op op, int32_t n, char* out) {
    switch (op) {
      case Op::kFeedLines:
        return Repeated(out, '\n', n == 0 ? 1 : n);
      case Op::kFeedCut:
        out = Repeated(out, '\n', settings_.rec_lines_to_paper_cut);
        if (out != nullptr) Put(out, "\x1B\x6D");
        return out;
      case Op::kTopLogo:
        return Copied(out, settings_.top_logo);
      case Op::kBottomLogo:
        return Copied(out, settings_.bottom_logo);
      case Op::kFeedUnits: {
        if (settings_.rotation_mode != 0) return out;
        const int64_t dots = ToDots(n, settings_.map_mode);
        if (FeedUnitsLength(dots) > buffer_.Room(out)) return nullptr;
        AppendFeedUnits(dots, settings_.kind, buffer_.Suspend(out));
        return buffer_.Resume();
      }
      default:
        return out;
    }
  }

  char* Copied(char* out, std::string_view bytes) {
    if (bytes.empty()) return out;
    out = buffer_.Reserve(out, bytes.size());
    if (out == nullptr) return nullptr;
    std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
  }
  char* Repeated(char* out, char byte, int64_t count) {
    if (count <= 0) return out;
    if (static_cast<uint64_t>(count) > buffer_.Room(out)) return nullptr;
    out = buffer_.Reserve(out, static_cast<size_t>(count));
    if (out == nullptr) return nullptr;
    std::memset(out, byte, static_cast<size_t>(count));
    return out + count;
  }

  HOT void EmitMode(const LineModes& m, char*& out) {
    const char bytes[] = {kEsc, '!', static_cast<char>(m.mode)};
    std::memcpy(out, bytes, 3);
    out += 3;
    if (m.underline == 1) Put(out, "\x1B-1");
    if (m.underline == 2) Put(out, "\x1B-2");
  }
  HOT void EmitSize(const LineModes& m, char*& out) {
    const char bytes[] = {kGs, '!', static_cast<char>(m.size)};
    std::memcpy(out, bytes, 3);
    out += 3;
  }

  HOT void HorizontalScale(int32_t n, LineModes& m, char*& out) {
    if (n < 1 || n > 8) return;
    if (n == 1) {
      m.mode &= static_cast<uint8_t>(~kDoubleWidth);
      m.width_increment = 0;
      EmitMode(m, out);
    } else if (n == 2) {
      m.mode |= kDoubleWidth;
      m.width_increment = 1;
      if (m.size == 0) {
        EmitMode(m, out);
      } else {
        m.size = RaiseWidth(m.size, 1);
        EmitSize(m, out);
      }
    } else {
      m.width_increment = n - 1;
      if (!thermal_) return;
      m.mode &= static_cast<uint8_t>(~kDoubleWidth);
      m.size &= 0x0F;
      if (m.mode & kDoubleHeight) {
        m.mode &= static_cast<uint8_t>(~kDoubleHeight);
        m.size = RaiseHeight(m.size, 1);
      }
      m.size = RaiseWidth(m.size, n - 1);
      EmitSize(m, out);
    }
  }

  HOT void VerticalScale(int32_t n, LineModes& m, char*& out) {
    if (n < 1 || n > 8) return;
    m.width_increment = 0;
    if (n == 1) {
      m.mode &= static_cast<uint8_t>(~kDoubleHeight);
      EmitMode(m, out);
    } else if (n == 2) {
      m.mode |= kDoubleHeight;
      EmitMode(m, out);
    } else if (thermal_) {
      m.mode &= static_cast<uint8_t>(~kDoubleHeight);
      m.size &= 0xF0;
      if (m.mode & kDoubleWidth) {
        m.mode &= static_cast<uint8_t>(~kDoubleWidth);
        m.size = RaiseWidth(m.size, 1);
      }
      m.size = RaiseHeight(m.size, n - 1);
      EmitSize(m, out);
    }
  }

  const TranslateSettings& settings_;
  const bool thermal_ = settings_.kind == PrinterKind::kThermal;
  const uint8_t initial_mode_ = InitialModeByte(settings_.rec_line_chars);
  ColumnState columns_;
  OutputBuffer buffer_;
  bool over_limit_ = false;
};

#undef HOT

}  // namespace

int32_t EscapeTranslator::TranslateAppend(std::string_view data, const TranslateSettings& settings,
                                          std::string& out) {
  // Translated text is about as long as its source, sequences make it somewhat longer: room
  // for that is made at once.
  Pass pass(settings, columns_, out, data.size() + data.size() / 8 + 64);
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
