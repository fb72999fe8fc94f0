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
  std::optional<int> drawer_state;            // 0 or 1 from the newest ready block
  // The other state, when an earlier block of the same read showed it: the drawer changed
  // and changed back between two rounds. The newest block still decides drawer_state, so
  // a drawer that was opened and closed again is never left reported open.
  std::optional<int> brief_drawer_state;
  bool completion_answer = false;
};

// `current_drawer_state` is the state before this round: when the newest block agrees
// with it, earlier blocks of the same read are searched for a short change in between.
// `thermal` selects whether a lone 0x20/0x0D byte counts as a completion answer (dot-matrix).
StatusReading ParseMonitorRead(std::span<const uint8_t> bytes, int current_drawer_state,
                               bool thermal);

// How many bytes at the end of `bytes` (0 to 3) could be the beginning of a status block
// whose rest has not arrived yet. The monitor keeps them for its next round, so a block
// split between two reads is still seen.
size_t IncompleteBlockTail(std::span<const uint8_t> bytes);

}  // namespace service_core
