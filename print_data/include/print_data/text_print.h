// Byte building for the text print methods: PrintNormal / PrintImmediate / ValidateData,
// CutPaper and the transaction completion request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "print_data/escape_translator.h"
#include "print_data/printer_kind.h"
#include "print_data/result.h"
#include "print_data/rotation.h"

namespace print_data {

// CutPaper: every cut is the same partial cut, whatever the percentage.
inline constexpr std::string_view kCutPaper = "\x1Bm";
// Thermal transaction end: GS ( H, pL 6, pH 0, fn "0", m "0", identifier "FFFF".
inline constexpr std::string_view kCompletionRequest{
    "\x1D(H\x06\x00"
    "00FFFF",
    11};
// Data of the end-of-transaction job queued by an asynchronous transaction flush.
inline constexpr std::string_view kEndOfTransactionData{"\0", 1};

// Bold off, underline off, character mode, reverse off (42, 56) or first colour (33), left
// alignment: put in front of every PrintNormal output.
std::string_view ResetPrefix(int32_t rec_line_chars);

// ESC 3 value for RecLineSpacing: thermal 2 x dots, dot-matrix (dots x 0.30003 + 0.5,
// truncated) + 16; limited to 1..255.
uint8_t LineSpacingValue(int32_t rec_line_spacing, int32_t map_mode, PrinterKind kind);

struct PrintNormalRequest {
  std::string_view data;  // as the application passed it
  int32_t binary_conversion = 0;
  int32_t rec_line_spacing = 30;
  TranslateSettings settings;  // its rotation_mode is taken from the RotationState
};

struct PrintNormalOutput {
  int32_t result = kSuccess;
  bool send = false;  // false with kSuccess: rotated text held back, nothing to send
  std::string bytes;
  // The column and rotation state after this call; they become the printer's only when
  // the call succeeds (CommitPrintNormal).
  EscapeTranslator translator;
  RotationState rotation;
};

// PrintNormal and PrintImmediate after their claimed and enabled checks: decodes, raises the
// scale depth in rotation, translates, frames with the reset prefix (and the line spacing
// when not rotated), and in rotation collects the text until a line end. Changes nothing:
// on success the new state travels in the output. Refusals (kIllegal: bad BinaryConversion
// length, data or translation over 32 767 bytes, a rotated block over kMaxPrintBlock) carry
// no bytes. The station is checked by the send routine, which gets `bytes` when `send`.
PrintNormalOutput PreparePrintNormal(const PrintNormalRequest& request,
                                     const EscapeTranslator& translator,
                                     const RotationState& rotation);
// Keeps the state a successful call left: after the send routine accepted the bytes, or
// at once when the text was only held back.
void CommitPrintNormal(PrintNormalOutput& output, EscapeTranslator& translator,
                       RotationState& rotation);
// Prepare and, unless refused, commit: for callers that do not send the bytes.
PrintNormalOutput ComposePrintNormal(const PrintNormalRequest& request,
                                     EscapeTranslator& translator, RotationState& rotation);

// ValidateData after its claimed and enabled checks: decodes and translates (updating the
// column state as printing would) and discards the bytes.
int32_t ValidatePrintData(std::string_view data, int32_t binary_conversion,
                          const TranslateSettings& settings, EscapeTranslator& translator);

}  // namespace print_data
