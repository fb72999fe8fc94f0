#include "print_data/rotation.h"

#include <algorithm>
#include <array>

namespace print_data {

Encoded RotationState::Rotate(int32_t station, int32_t rotation, PrinterKind kind,
                              bool refuse_dot_matrix, int32_t rec_sideways_max_chars,
                              EscapeTranslator& translator) {
  if (station != kStationReceipt) return Encoded::Refuse(kIllegal);
  if (refuse_dot_matrix && kind == PrinterKind::kDotMatrix) return Encoded::Refuse(kIllegal);
  Encoded encoded;
  switch (rotation) {
    case kRotateLeft90:
    case kRotateRight90:
      mode_ = rotation == kRotateLeft90 ? 1 : 2;
      translator.ResetWidestLine();
      // Page mode, then the print direction.
      encoded.bytes = rotation == kRotateLeft90 ? "\x1BL\x1BT1" : "\x1BL\x1BT3";
      break;
    case kRotateNormal: {
      mode_ = 0;
      const int64_t widest =
          std::clamp<int64_t>(translator.widest_line(), 0, std::max(rec_sideways_max_chars, 0));
      const auto height = static_cast<uint16_t>(std::min<int64_t>(widest * 24, 0xFFFF));
      // Print area x 0, y 0, width 512, height by the widest line; print the page; back to
      // standard mode.
      const std::array<char, 14> bytes = {0x1B,
                                          'W',
                                          0,
                                          0,
                                          0,
                                          0,
                                          0,
                                          2,
                                          static_cast<char>(height & 0xFF),
                                          static_cast<char>(height >> 8),
                                          0x1B,
                                          0x0C,
                                          0x1B,
                                          'S'};
      encoded.bytes.assign(bytes.data(), bytes.size());
      break;
    }
    default:
      break;
  }
  return encoded;
}

int32_t RotationState::ScaleDepthOf(std::string_view decoded) {
  static constexpr std::array<std::string_view, 6> kTaller = {"\x1B|3vC", "\x1B|4vC", "\x1B|5vC",
                                                              "\x1B|6vC", "\x1B|7vC", "\x1B|8vC"};
  int32_t depth = 0;
  for (size_t i = 0; i < kTaller.size(); ++i) {
    if (decoded.find(kTaller[i]) != std::string_view::npos) depth = static_cast<int32_t>(i) + 2;
  }
  if (depth == 0 && (decoded.find("\x1B|3C") != std::string_view::npos ||
                     decoded.find("\x1B|4C") != std::string_view::npos ||
                     decoded.find("\x1B|2vC") != std::string_view::npos)) {
    depth = 1;
  }
  return depth;
}

void RotationState::RaiseScaleDepth(int32_t depth) { scale_depth_ = std::max(scale_depth_, depth); }

int32_t RotationState::Collect(std::string& output, bool& send_now) {
  const bool has_line_end = output.find_first_of("\r\n") != std::string::npos ||
                            pending_.find_first_of("\r\n") != std::string::npos;
  const size_t block_size = static_cast<size_t>(scale_depth_) + pending_.size() + output.size();
  if (!has_line_end) {
    // Text that no later call could finish within one block is refused now, while the
    // caller can still be told; a later call adds at least its reset prefix and a line end.
    if (block_size + kSmallestLaterLine > kMaxPrintBlock) return kIllegal;
    pending_ += output;
    output.clear();
    send_now = false;
    return kSuccess;
  }
  // A block the send routine would refuse is refused here, before anything changes: the
  // held-back text and the scale depth stay for a later, shorter line.
  if (block_size > kMaxPrintBlock) return kIllegal;
  std::string block(static_cast<size_t>(scale_depth_), '\n');
  block += pending_;
  block += output;
  output = std::move(block);
  pending_.clear();
  scale_depth_ = 0;
  send_now = true;
  return kSuccess;
}

void RotationState::Reset() {
  mode_ = 0;
  scale_depth_ = 0;
  pending_.clear();
}

}  // namespace print_data
