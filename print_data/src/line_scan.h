// Finding line ends (CR, LF) in a run of plain text, fast enough that translating plain
// text stays close to copying it.
#pragma once

#include <cstddef>

namespace print_data {

struct LineEnds {
  bool any = false;
  size_t first = 0;          // position of the first line end
  size_t last = 0;           // position of the last line end
  size_t longest_inner = 0;  // most bytes between two consecutive line ends
};

LineEnds ScanLineEnds(const char* text, size_t length);

}  // namespace print_data
