#include "command_framer.h"

namespace vdev::printer {
namespace {

// Upper bounds that keep a corrupt length from swallowing the rest of a session.
constexpr size_t kMaxNulTerminated = 256;
constexpr size_t kMaxGs8LData = 1u << 20;
// FS q may announce up to 255 images of 2.4 MB each; a printer's NV memory holds far less.
constexpr size_t kMaxFsQData = 1u << 20;

size_t NulTerminated(std::span<const uint8_t> h, size_t first_data) {
  const size_t n = h.size();
  if (n > first_data && h[n - 1] == 0) return n;
  if (n >= first_data + kMaxNulTerminated) return n;
  return n + 1;
}

// The function commands ESC (, GS ( and FS (: a function letter and a 16-bit length.
size_t ParameterBlock(std::span<const uint8_t> h) {
  if (h.size() < 5) return 5;
  return 5 + size_t{h[3]} + (size_t{h[4]} << 8);
}

// A command of `fields` fields each ended by ";" (GS C ;), bounded like the NUL-ended ones.
size_t Semicolons(std::span<const uint8_t> h, size_t fields) {
  const size_t n = h.size();
  size_t seen = 0;
  for (size_t i = 2; i < n; ++i) seen += h[i] == ';';
  if (seen >= fields || n >= 3 + kMaxNulTerminated) return n;
  return n + 1;
}

size_t EscLength(std::span<const uint8_t> h) {
  const size_t n = h.size();
  switch (h[1]) {
    case '@':
    case '2':
    case 'm':
    case 'i':
    case 'L':
    case 'S':
    case kFf:
    case '<':
    case 'v':
      return 2;
    case '!':
    case 'E':
    case 'G':
    case '-':
    case 'a':
    case '3':
    case 'r':
    case 't':
    case 'M':
    case 'd':
    case 'J':
    case 'e':
    case 'K':
    case 'T':
    case 'V':
    case '{':
    case ' ':
    case 'R':
    case 'U':
    case '=':
    case '%':
    case '?':
    case 'u':
    case 'I':
      return 3;
    case '$':
    case '\\':
    case 'c':
    case 'f':
      return 4;
    case 'p':
      return 5;
    case '(':  // ESC ( fn pL pH d...
      return ParameterBlock(h);
    case 'W':
      return 10;
    case '*': {
      if (n < 5) return 5;
      const size_t columns = h[3] | (h[4] << 8);
      if (h[2] == 0 || h[2] == 1) return 5 + columns;
      if (h[2] == 32 || h[2] == 33) return 5 + 3 * columns;
      return 5;
    }
    case 'D':
      return NulTerminated(h, 2);
    case '&': {  // ESC & y c1 c2 [x d1...d(y*x)] for each character c1..c2
      if (n < 5) return 5;
      const size_t y = h[2];
      if (h[4] < h[3] || y == 0 || y > 3) return 5;
      size_t pos = 5;
      for (int c = h[3]; c <= h[4]; ++c) {
        if (n < pos + 1) return pos + 1;
        pos += 1 + y * h[pos];
      }
      return pos;
    }
    default:
      return 2;  // unknown ESC x: the two bytes
  }
}

size_t GsLength(std::span<const uint8_t> h) {
  const size_t n = h.size();
  switch (h[1]) {
    case ':':
    case 'c':
      return 2;
    case '!':
    case 'B':
    case '/':
    case 'w':
    case 'h':
    case 'H':
    case 'f':
    case 'a':
    case 'I':
    case 'r':
    case 'E':
    case 'b':
    case 'T':
    case 'j':
      return 3;
    case 'L':
    case 'W':
    case 'P':
    case '$':
    case '\\':
      return 4;
    case '^':
      return 5;
    case '*':
      if (n < 4) return 4;
      return 4 + size_t{h[2]} * h[3] * 8;
    case 'k': {
      if (n < 3) return 3;
      const uint8_t m = h[2];
      if (m <= 6) return NulTerminated(h, 3);
      if (m >= 65 && m <= 73) return n < 4 ? 4 : 4 + size_t{h[3]};
      return 3;
    }
    case 'V':
      if (n < 3) return 3;
      switch (h[2]) {
        case 65:
        case 66:
        case 97:
        case 98:
        case 103:
        case 104:
          return 4;
        default:
          return 3;
      }
    case '(':
      return ParameterBlock(h);
    case '<':
      return 2;
    case 'Z':
      return 3;
    case 'z':  // GS z 0 t1 t2
      return 5;
    case 'g':  // GS g 0 m nL nH, GS g 2 m nL nH
      if (n < 3) return 3;
      return h[2] == 0 || h[2] == 2 || h[2] == '0' || h[2] == '2' ? 6 : 3;
    case 'C':  // counters: GS C 0 n m, GS C 1 aL aH bL bH n r, GS C 2 nL nH, GS C ; ...
      if (n < 3) return 3;
      switch (h[2]) {
        case 0:
        case '0':
        case 2:
        case '2':
          return 5;
        case 1:
        case '1':
          return 9;
        case ';':
          return Semicolons(h, 6);
        default:
          return 3;
      }
    case 'Q':  // GS Q 0 m xL xH yL yH d... (variable vertical size image)
      if (n < 3) return 3;
      if (h[2] != '0') return 3;
      if (n < 8) return 8;
      return 8 + size_t(h[4] | (h[5] << 8)) * size_t(h[6] | (h[7] << 8));
    case 'v':  // GS v 0 m xL xH yL yH d...
      if (n < 3) return 3;
      if (h[2] != '0') return 3;
      if (n < 8) return 8;
      return 8 + size_t(h[4] | (h[5] << 8)) * size_t(h[6] | (h[7] << 8));
    case '8': {  // GS 8 L p1 p2 p3 p4 ...
      if (n < 3) return 3;
      if (h[2] != 'L') return 3;
      if (n < 7) return 7;
      const size_t p =
          size_t{h[3]} | (size_t{h[4]} << 8) | (size_t{h[5]} << 16) | (size_t{h[6]} << 24);
      return p > kMaxGs8LData ? 7 : 7 + p;
    }
    default:
      return 2;
  }
}

size_t FsLength(std::span<const uint8_t> h) {
  const size_t n = h.size();
  switch (h[1]) {
    case '&':
    case '.':
      return 2;
    case '!':
    case '-':
    case 'C':
    case 'W':
      return 3;
    case 'p':
    case 'S':
    case '?':
      return 4;
    case '(':  // FS ( fn pL pH d...
      return ParameterBlock(h);
    case 'g':  // FS g 1 m a1 a2 a3 a4 nL nH d..., FS g 2 m a1 a2 a3 a4 nL nH
      if (n < 3) return 3;
      if (h[2] == 2 || h[2] == '2') return 10;
      if (h[2] != 1 && h[2] != '1') return 3;
      if (n < 10) return 10;
      return 10 + size_t{h[8]} + (size_t{h[9]} << 8);
    case 'q': {  // FS q n [xL xH yL yH d1...dk] for each of n images
      if (n < 3) return 3;
      size_t pos = 3;
      for (int i = 0; i < h[2]; ++i) {
        if (n < pos + 4) return pos + 4;
        const size_t x = h[pos] | (h[pos + 1] << 8);
        const size_t y = h[pos + 2] | (h[pos + 3] << 8);
        pos += 4 + x * y * 8;
        // Larger than any NV memory: the command ends here and is refused whole, instead of
        // swallowing everything that follows.
        if (pos > kMaxFsQData) return n;
      }
      return pos;
    }
    default:
      return 2;
  }
}

size_t DleLength(std::span<const uint8_t> h) {
  const size_t n = h.size();
  switch (h[1]) {
    case kEot:
    case kEnq:
      return 3;
    case kDc4:
      if (n < 3) return 3;
      switch (h[2]) {
        case 1:
        case 2:
          return 5;
        case 8:
          return 10;
        default:
          return 3;
      }
    default:
      return 2;
  }
}

bool IsText(uint8_t byte) { return byte >= 0x20; }

}  // namespace

bool RawCommand::IsRealTime() const {
  return !is_text && bytes.size() >= 2 && bytes[0] == kDle &&
         (bytes[1] == kEot || bytes[1] == kEnq || bytes[1] == kDc4);
}

size_t CommandLength(std::span<const uint8_t> head) {
  if (head.empty()) return 1;
  const uint8_t first = head[0];
  if (first != kEsc && first != kGs && first != kFs && first != kDle) return 1;
  if (head.size() < 2) return 2;
  switch (first) {
    case kEsc:
      return EscLength(head);
    case kGs:
      return GsLength(head);
    case kFs:
      return FsLength(head);
    default:
      return DleLength(head);
  }
}

void CommandFramer::Push(uint8_t byte, std::vector<RawCommand>& out) {
  if (command_.empty()) {
    if (IsText(byte)) {
      text_.push_back(byte);
      if (text_.size() >= kMaxTextRun) FlushText(out);
      return;
    }
    FlushText(out);
    needed_ = 0;
  }
  command_.push_back(byte);
  if (command_.size() < needed_) return;
  needed_ = CommandLength(command_);
  if (needed_ > command_.size()) return;
  out.push_back(RawCommand{std::move(command_), false});
  command_.clear();
  needed_ = 0;
}

void CommandFramer::FlushText(std::vector<RawCommand>& out) {
  if (text_.empty()) return;
  out.push_back(RawCommand{std::move(text_), true});
  text_.clear();
}

void CommandFramer::Reset() {
  command_.clear();
  text_.clear();
  needed_ = 0;
}

}  // namespace vdev::printer
