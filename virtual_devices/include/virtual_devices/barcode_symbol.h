// The bar pattern of a GS k barcode, encoded with libzint: the printer's symbol numbers
// and data conventions translated to what zint expects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vdev {

struct BarcodeSymbol {
  std::vector<bool> modules;  // one entry per narrow module, left to right; true = bar
  std::string hri;            // the human-readable line printed with the bars
  std::string error;          // non-empty when the printer would refuse the data
};

// "UPC-A", "EAN13", "CODE128", ...; "system N" for numbers the printer does not know.
std::string BarcodeSystemName(uint8_t system);

// `system` is GS k m in either form (0..6 or 65..73). CODE128 data starts with a code-set
// selector ("{A", "{B", "{C"); in code set C each data byte is one pair of digits (0..99).
BarcodeSymbol EncodeBarcode(uint8_t system, const std::string& data);

}  // namespace vdev
