// Sideways printing (RotatePrint): the rotation mode, the text held back until a line end,
// and the blank lines put in front of a rotated block for its tallest characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "print_data/escape_translator.h"
#include "print_data/printer_kind.h"
#include "print_data/result.h"

namespace print_data {

inline constexpr int32_t kRotateNormal = 1;     // PTR_RP_NORMAL
inline constexpr int32_t kRotateRight90 = 257;  // PTR_RP_RIGHT90
inline constexpr int32_t kRotateLeft90 = 258;   // PTR_RP_LEFT90

class RotationState {
 public:
  // 0 normal, 1 rotated left, 2 rotated right.
  int32_t mode() const { return mode_; }
  bool rotated() const { return mode_ != 0; }
  int32_t scale_depth() const { return scale_depth_; }
  const std::string& pending() const { return pending_; }

  // RotatePrint: the bytes to send for the receipt station, or kIllegal for another station
  // or, when `refuse_dot_matrix` (serial build), the dot-matrix model. Entering rotation
  // clears the translator's widest line; leaving sizes the page from it (lowered to
  // `rec_sideways_max_chars`). A rotation value with no meaning here gives empty bytes.
  Encoded Rotate(int32_t station, int32_t rotation, PrinterKind kind, bool refuse_dot_matrix,
                 int32_t rec_sideways_max_chars, EscapeTranslator& translator);

  // Scale depth the decoded data asks for; it only grows until a block is sent.
  static int32_t ScaleDepthOf(std::string_view decoded);
  void RaiseScaleDepth(int32_t depth);

  // Rotated PrintNormal output: appends it to the held-back text. Sets `send_now` when the
  // result holds a line end: `output` then becomes the scale-depth blank lines, the
  // held-back text and the new output, and the held-back text and depth are cleared.
  // Clears it when the text is only held back. Refuses (kIllegal, nothing changed) a block
  // over kMaxPrintBlock bytes, and held-back text that no later line could complete within
  // that size.
  int32_t Collect(std::string& output, bool& send_now);

  // ClaimDevice: normal mode, nothing held back.
  void Reset();

 private:
  // What a later call adds at the least to finish a held-back line: its reset prefix and
  // one line end.
  static constexpr size_t kSmallestLaterLine = 16;

  int32_t mode_ = 0;
  int32_t scale_depth_ = 0;
  std::string pending_;
};

}  // namespace print_data
