// The status bytes the printer sends: real-time status (DLE EOT n) and the automatic
// status back block, which depends on the interface the printer is attached through.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "virtual_devices/virtual_printer.h"

namespace vdev::printer {

struct SensedState {
  bool cover_open = false;
  bool paper_out = false;
  bool switched_offline = false;
  bool pin3_high = false;
  bool online() const { return !cover_open && !paper_out && !switched_offline; }
  bool operator==(const SensedState&) const = default;
};

// DLE EOT n: n = 1 printer, 2 offline cause, 3 error, 4 paper roll sensor. Any other n
// has no answer.
std::optional<uint8_t> RealTimeStatus(const SensedState& state, uint8_t n);

// The 4-byte automatic status back block.
std::array<uint8_t, 4> StatusBackBlock(const SensedState& state, PrinterLink link);

// Which GS a n bits (1 drawer, 2 online/offline, 4 error, 8 paper sensor) a change from
// `before` to `after` concerns.
uint8_t ChangedStatusCategories(const SensedState& before, const SensedState& after);

}  // namespace vdev::printer
