// A request the output path wrote to a thermal printer, with the completion request
// (process identifier `mark`) behind it, that the printer has not confirmed yet; and what
// of it reached the printer when the link lost it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace service_core {

enum class ReachedPart { kAll, kPart, kNone };

struct WrittenRequest {
  static constexpr uint64_t kNotWritten = UINT64_MAX;

  int32_t id = 0;
  uint32_t mark = 0;
  size_t bytes = 0;
  uint64_t asked_at = 0;  // when its completion request was last written
  int asks = 1;
  // How many times the link had lost the printer when it was written.
  uint64_t losses = 0;
  // The bytes as they go to the printer, one piece a job (the last one followed by the
  // completion request). Each piece is one write, so other users of the link (its monitor,
  // a drawer) only ever come in between whole jobs. `piece_starts` says where each piece
  // began in the link's byte stream (kNotWritten for one not written).
  std::vector<uint8_t> wire;
  std::vector<size_t> piece_ends;
  std::vector<uint64_t> piece_starts;

  // Ends the piece of the job just appended to `wire`.
  void EndPiece() { piece_ends.push_back(wire.size()); }
  // Appends the completion request to the last piece.
  void EndWith(std::span<const uint8_t> completion);
  size_t PieceBegin(size_t piece) const { return piece == 0 ? 0 : piece_ends[piece - 1]; }
  // Where the bytes of the written pieces stopped reaching the printer (`reached`, a
  // position in the link's byte stream): all of them, part of them, or none. Of a request
  // that reached it in part, only the rest is kept, to be written again.
  ReachedPart KeepUnreached(uint64_t reached);
};

}  // namespace service_core
