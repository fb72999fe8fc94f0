// Translation of OPOS escape sequences ("\x1B|...") in print data into printer commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "print_data/printer_kind.h"
#include "print_data/result.h"

namespace print_data {

// What a translation reads from the printer object for one call.
struct TranslateSettings {
  PrinterKind kind = PrinterKind::kThermal;
  int32_t rec_line_chars = 42;
  int32_t map_mode = 1;
  int32_t rec_lines_to_paper_cut = 5;
  int32_t rotation_mode = 0;     // 0 normal, 1 left 90, 2 right 90: feeds by units are dropped
  std::string_view top_logo;     // inserted by ESC|tL, already translated
  std::string_view bottom_logo;  // inserted by ESC|bL
  size_t output_limit = kMaxPrintData;  // kMaxLogo when translating a logo
};

// Column bookkeeping that outlives one call; rotated printing sizes its page from it.
struct ColumnState {
  bool line_open = false;      // the previous call ended inside a line
  int64_t carried_column = 0;  // columns that unfinished line used
  int64_t widest_line = 0;     // most columns any finished line reached
};

class EscapeTranslator {
 public:
  // Translates `data` (ending at its first zero byte, if any) and appends the printer bytes
  // to `out`. Returns kSuccess, or kIllegal when the translation would exceed
  // settings.output_limit bytes; a refused translation appends nothing and leaves the
  // column state as it was.
  int32_t TranslateAppend(std::string_view data, const TranslateSettings& settings,
                          std::string& out);

  // The same, returning the bytes.
  Encoded Translate(std::string_view data, const TranslateSettings& settings);

  const ColumnState& columns() const { return columns_; }
  // Widest line as the page-height computation needs it (saturated to 32 bits).
  int32_t widest_line() const;
  // Entering rotated printing starts a fresh measurement.
  void ResetWidestLine() { columns_.widest_line = 0; }
  // Claiming the device starts at the left margin.
  void ResetLine() {
    columns_.line_open = false;
    columns_.carried_column = 0;
  }

 private:
  ColumnState columns_;
};

}  // namespace print_data
