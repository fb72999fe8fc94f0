// Fuzzes BinaryConversion decoding and escape-sequence translation. The first byte picks
// the decoding, model, MapMode, rotation and output limit; the rest is the print data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "print_data/binary_conversion.h"
#include "print_data/escape_translator.h"
#include "print_data/text_print.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using namespace print_data;
  const uint8_t choice = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  static EscapeTranslator translator;  // column state persists across inputs like calls
  static RotationState rotation;
  PrintNormalRequest request;
  request.data = input;
  request.binary_conversion = choice % 3;
  request.settings.kind = (choice & 0x04) ? PrinterKind::kDotMatrix : PrinterKind::kThermal;
  request.settings.map_mode = 1 + ((choice >> 3) & 3);
  request.settings.rec_line_chars = (choice & 0x20) ? 56 : 42;
  request.settings.top_logo = "\x1B\x61\x31LOGO\n";
  request.settings.output_limit = (choice & 0x40) ? kMaxLogo : kMaxPrintData;
  if (choice & 0x80) {
    rotation.Rotate(2, (choice & 1) ? kRotateLeft90 : kRotateNormal, request.settings.kind, false,
                    69, translator);
  }
  const ColumnState before = translator.columns();
  PrintNormalOutput output = ComposePrintNormal(request, translator, rotation);
  if (output.result != kSuccess) {
    if (!output.bytes.empty() || output.send) std::abort();
    if (translator.columns().widest_line != before.widest_line) std::abort();
    return 0;
  }
  // Apart from the line-spacing value, translated bytes never hold a zero.
  const size_t text_start = ResetPrefix(request.settings.rec_line_chars).size();
  if (output.bytes.find('\0', text_start) != std::string::npos) std::abort();
  return 0;
}
