#include "written_request.h"

#include <algorithm>

namespace service_core {

void WrittenRequest::EndWith(std::span<const uint8_t> completion) {
  wire.insert(wire.end(), completion.begin(), completion.end());
  if (piece_ends.empty()) {
    piece_ends.push_back(wire.size());
  } else {
    piece_ends.back() = wire.size();
  }
}

ReachedPart WrittenRequest::KeepUnreached(uint64_t reached) {
  // Pieces reach the printer in the order they were written: whole ones first, then at
  // most one in part.
  size_t taken = 0;
  for (size_t piece = 0; piece < piece_ends.size() && piece < piece_starts.size(); ++piece) {
    const uint64_t start = piece_starts[piece];
    const size_t length = piece_ends[piece] - PieceBegin(piece);
    if (start == kNotWritten || start >= reached) break;
    taken += static_cast<size_t>(std::min<uint64_t>(reached - start, length));
    if (start + length > reached) break;
  }
  if (taken == 0) return ReachedPart::kNone;
  if (taken >= wire.size()) return ReachedPart::kAll;
  wire.erase(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(taken));
  std::vector<size_t> rest;
  for (const size_t end : piece_ends) {
    if (end > taken) rest.push_back(end - taken);
  }
  piece_ends = std::move(rest);
  piece_starts.clear();
  return ReachedPart::kPart;
}

}  // namespace service_core
