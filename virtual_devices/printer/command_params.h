// Parameter conventions shared by the command interpreter.
#pragma once

#include <cstdint>

namespace vdev::printer {

// Many commands take a choice either as a number 0..max or as its digit '0'..'max'.
// Returns the choice, or -1 when n is neither.
inline int Choice(uint8_t n, int max) {
  if (n <= max) return n;
  if (n >= '0' && n <= '0' + max) return n - '0';
  return -1;
}

}  // namespace vdev::printer
