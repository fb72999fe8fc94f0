#include "status_block.h"

#include <algorithm>

namespace service_core {
namespace {

// The 0x04 bit of every status block's first byte is the drawer's pin-3 level, whatever
// else the block reports (ready, cover open, paper out, offline): drawer state 0 when set
// and 1 when clear.
int DrawerStateOf(uint8_t first) { return (first & 0x04) ? 0 : 1; }

// Automatic status back framing: the first byte has bit 4 set and bits 0, 1 and 7 clear,
// the three after it have bits 4 and 7 clear. Anything else is not a status block.
bool IsBlockHead(uint8_t b) { return (b & 0x93) == 0x10; }
bool IsBlockBody(uint8_t b) { return (b & 0x90) == 0; }
bool IsFramed(std::span<const uint8_t> b) {
  return IsBlockHead(b[0]) && IsBlockBody(b[1]) && IsBlockBody(b[2]) && IsBlockBody(b[3]);
}

}  // namespace

StatusReading ParseMonitorRead(std::span<const uint8_t> bytes, int current_drawer_state,
                               bool thermal, BlockLayout layout) {
  const uint8_t offline_bit = layout == BlockLayout::kSerial ? 0x08 : 0x00;
  StatusReading reading;
  const size_t n = bytes.size();

  // Thermal completion answers are taken out of the stream before it comes here
  // (printer_answers.h).
  if (n >= 4 && IsFramed(bytes.subspan(n - 4))) {
    std::span<const uint8_t> last = bytes.subspan(n - 4);
    const int state = DrawerStateOf(last[0]);
    if (state == current_drawer_state) {
      // Look back block by block for the other state: a drawer opened and closed
      // between two rounds must still be seen.
      for (size_t end = n - 4; end >= 4; end -= 4) {
        std::span<const uint8_t> earlier = bytes.subspan(end - 4, 4);
        if (IsFramed(earlier) && DrawerStateOf(earlier[0]) != state) {
          reading.brief_drawer_state = DrawerStateOf(earlier[0]);
          break;
        }
      }
    }
    reading.drawer_state = state;
    const bool zero_middle = last[1] == 0 && last[2] == 0 && (last[3] == 0 || last[3] == 0x0F);
    if (zero_middle && (last[0] == 0x14 || last[0] == 0x10)) {
      reading.condition = PrinterCondition{};
    } else if (zero_middle && (last[0] == (0x30 | offline_bit) || last[0] == (0x34 | offline_bit))) {
      reading.condition =
          PrinterCondition{.cover_open = true, .paper_empty = false, .offline = true};
    } else if (last[2] == 0x0F && (last[0] == (0x10 | offline_bit) || last[0] == (0x14 | offline_bit))) {
      reading.condition =
          PrinterCondition{.cover_open = false, .paper_empty = true, .offline = true};
    }
  }

  if (!thermal && n >= 1 && n < 4 && (bytes[n - 1] == 0x20 || bytes[n - 1] == 0x0D)) {
    reading.completion_answer = true;
  }
  return reading;
}

size_t IncompleteBlockTail(std::span<const uint8_t> bytes) {
  const size_t n = bytes.size();
  for (size_t k = std::min<size_t>(3, n); k >= 1; --k) {
    std::span<const uint8_t> tail = bytes.subspan(n - k);
    if (!IsBlockHead(tail[0])) continue;
    bool body = true;
    for (size_t i = 1; i < k; ++i) body = body && IsBlockBody(tail[i]);
    if (body) return k;
  }
  return 0;
}

std::optional<uint8_t> LastPrinterStatusAnswer(std::span<const uint8_t> bytes) {
  for (size_t i = bytes.size(); i > 0; --i) {
    if ((bytes[i - 1] & 0x93) == 0x12) return bytes[i - 1];
  }
  return std::nullopt;
}

}  // namespace service_core
