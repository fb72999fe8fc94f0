// One event waiting to be raised in the control object: its kind and up to four values in
// the order of the callback's arguments.
#pragma once

#include <array>
#include <cstdint>

namespace service_core {

enum class EventKind : int32_t { DirectIO = 2, Error = 3, OutputComplete = 4, StatusUpdate = 5 };

struct EventRecord {
  EventKind kind = EventKind::StatusUpdate;
  // Error: result code, extended code, locus, proposed ErrorResponse.
  std::array<int32_t, 4> values{};
};

}  // namespace service_core
