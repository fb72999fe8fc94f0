// Reading the printer's unsolicited answers out of what one monitor round received:
// automatic status back blocks, and the dot-matrix printer's one-byte completion answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace service_core {

struct PrinterCondition {
  bool cover_open = false;
  bool paper_empty = false;
  bool offline = false;
};

struct StatusReading {
  std::optional<PrinterCondition> condition;  // set when a status block was recognised
  std::optional<int> drawer_state;            // 0 or 1 from the newest block of any kind
  // The other state, when an earlier block of the same read showed it: the drawer changed
  // and changed back between two rounds. The newest block still decides drawer_state, so
  // a drawer that was opened and closed again is never left reported open.
  std::optional<int> brief_drawer_state;
  bool completion_answer = false;
};

// How cover open and paper end appear in the status block: the serial interface sets the
// offline bit (0x08) of the first byte with them (38/3C, 18/1C), the network and USB
// interfaces leave it out (30/34, and 10/14 with 0F in the third byte).
enum class BlockLayout { kSerial, kWithoutOfflineBit };

// `current_drawer_state` is the state before this round: when the newest block agrees
// with it, earlier blocks of the same read are searched for a short change in between.
// `thermal` selects whether a lone 0x20/0x0D byte counts as a completion answer (dot-matrix).
StatusReading ParseMonitorRead(std::span<const uint8_t> bytes, int current_drawer_state,
                               bool thermal, BlockLayout layout = BlockLayout::kSerial);

// How many bytes at the end of `bytes` (0 to 3) could be the beginning of a status block
// whose rest has not arrived yet. The monitor keeps them for its next round, so a block
// split between two reads is still seen.
size_t IncompleteBlockTail(std::span<const uint8_t> bytes);

// The newest answer to "transmit printer status" (DLE EOT 1) in `bytes`: a byte with bits 1
// and 4 set and bits 0 and 7 clear. Its 0x04 bit is the drawer's pin-3 level, 0x08 offline.
// Other bytes (automatic status back blocks a printer keeps sending, line noise) are
// skipped; nothing when no byte qualifies.
std::optional<uint8_t> LastPrinterStatusAnswer(std::span<const uint8_t> bytes);
inline constexpr uint8_t kStatusPin3High = 0x04;
inline constexpr uint8_t kStatusOffline = 0x08;

}  // namespace service_core
