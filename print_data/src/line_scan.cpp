#include "line_scan.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace print_data {
namespace {

inline void Visit(LineEnds& ends, size_t position) {
  if (!ends.any) {
    ends.any = true;
    ends.first = position;
  } else {
    ends.longest_inner = std::max(ends.longest_inner, position - ends.last - 1);
  }
  ends.last = position;
}

}  // namespace

LineEnds ScanLineEnds(const char* text, size_t length) {
  LineEnds ends;
  size_t i = 0;
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= length; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
    while (mask != 0) {
      Visit(ends, i + static_cast<size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < length; ++i) {
    if (text[i] == '\r' || text[i] == '\n') Visit(ends, i);
  }
  return ends;
}

}  // namespace print_data
