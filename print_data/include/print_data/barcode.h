// PrintBarCode: one GS k command string with HRI font, module width, height, alignment and
// HRI position.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "print_data/printer_kind.h"
#include "print_data/result.h"

namespace print_data {

struct BarcodeRequest {
  int32_t station = kStationReceipt;
  std::string_view data;
  int32_t symbology = 0;
  int32_t height = 0;  // MapMode units
  int32_t width = 0;   // MapMode units
  int32_t alignment = -2;
  int32_t text_position = -13;
  // Printer object values read by the method.
  PrinterKind kind = PrinterKind::kThermal;
  int32_t rotate_special = 1;
  int32_t rec_line_width = 512;  // MapMode units
  int32_t rec_line_chars = 42;
  int32_t map_mode = 1;
  int32_t binary_conversion = 0;
};

// PrintBarCode after its enabled check. Every refusal is kIllegal with no bytes: another
// station, the dot-matrix model, RotateSpecial other than normal, Width over RecLineWidth,
// bad BinaryConversion length, unknown symbology (standard 2 of 5 included), data of the
// wrong length, Code 128 of more than 19 characters besides its selectors or over 255
// prepared bytes, a width no module width fits, an unknown TextPosition.
Encoded BuildBarcodeCommand(const BarcodeRequest& request);

// Code 128 data as GS k carries it: "{A" in front when no code-set selector "{A" is there.
// Empty when the data, less its "{A" and "{S" selectors, is longer than 19 characters.
std::optional<std::string> PrepareCode128(std::string_view data);

// Best-fit module width 2..6 for n counted characters of a symbology in w dots: the widest
// whose barcode fits; 0 when none fits.
int BestFitModuleWidth(int32_t symbology, size_t counted, int32_t width_dots);

}  // namespace print_data
