// OPOS result codes produced by the print-data functions, and the result type that carries
// either the built bytes or a refusal.
#pragma once

#include <cstdint>
#include <string>

namespace print_data {

inline constexpr int32_t kSuccess = 0;         // OPOS_SUCCESS
inline constexpr int32_t kIllegal = 106;       // OPOS_E_ILLEGAL
inline constexpr int32_t kExtended = 114;      // OPOS_E_EXTENDED
inline constexpr int32_t kExtTooBig = 206;     // OPOS_EPTR_TOOBIG
inline constexpr int32_t kExtBadFormat = 207;  // OPOS_EPTR_BADFORMAT

// The receipt station, the only one this printer has.
inline constexpr int32_t kStationReceipt = 2;

// Print data, translated text and stored logos are held to these sizes (bytes, without the
// terminating zero the automation layer adds).
inline constexpr size_t kMaxPrintData = 32767;
inline constexpr size_t kMaxLogo = 1023;
inline constexpr size_t kMaxFileName = 255;
// The most bytes one print call hands to the send routine: its translated text plus the
// framing the call adds (reset prefix and line spacing, or in sideways printing the blank
// lines in front of a block). Rotated text held back from earlier calls counts against it.
inline constexpr size_t kMaxPrintFraming = 32;
inline constexpr size_t kMaxPrintBlock = kMaxPrintData + kMaxPrintFraming;

// Bytes built for the printer, or the refusal that replaces them. On a refusal `bytes` is
// empty and nothing must be sent.
struct Encoded {
  int32_t result = kSuccess;
  int32_t extended = 0;  // ResultCodeExtended to store with kExtended
  std::string bytes;

  bool ok() const { return result == kSuccess; }
  static Encoded Refuse(int32_t result, int32_t extended = 0) {
    return Encoded{result, extended, {}};
  }
};

}  // namespace print_data
