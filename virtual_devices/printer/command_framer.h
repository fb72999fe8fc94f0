// Splits the byte stream from the host into whole commands and text runs, one byte at a
// time, so that a command split across several reads frames exactly like one read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vdev::printer {

constexpr uint8_t kNul = 0x00, kHt = 0x09, kLf = 0x0A, kFf = 0x0C, kCr = 0x0D, kDle = 0x10,
                  kEot = 0x04, kEnq = 0x05, kDc4 = 0x14, kCan = 0x18, kEsc = 0x1B, kFs = 0x1C,
                  kGs = 0x1D;

struct RawCommand {
  std::vector<uint8_t> bytes;
  bool is_text = false;  // a run of printable characters

  uint8_t At(size_t i) const { return i < bytes.size() ? bytes[i] : 0; }
  // Little-endian 16-bit value at i.
  int Word(size_t i) const { return At(i) | (At(i + 1) << 8); }
  // DLE EOT, DLE ENQ, DLE DC4: acted on when received, even ahead of buffered data.
  bool IsRealTime() const;
};

// Total length of the command that starts with `head` as far as `head` tells it: when the
// result is larger than head.size(), at least that many bytes are needed before asking
// again; when it equals head.size(), the command is complete.
size_t CommandLength(std::span<const uint8_t> head);

class CommandFramer {
 public:
  static constexpr size_t kMaxTextRun = 4096;

  // Appends the complete commands that `byte` finishes to `out`. A text run is complete
  // when a control byte follows it (or it reaches kMaxTextRun).
  void Push(uint8_t byte, std::vector<RawCommand>& out);
  // Hands over a text run still waiting for its end.
  void FlushText(std::vector<RawCommand>& out);
  // Forgets a partly received command (power loss).
  void Reset();
  size_t PendingBytes() const { return command_.size() + text_.size(); }

 private:
  std::vector<uint8_t> command_;
  std::vector<uint8_t> text_;
  size_t needed_ = 0;
};

}  // namespace vdev::printer
