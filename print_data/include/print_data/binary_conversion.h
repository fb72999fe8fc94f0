// BinaryConversion decoding of print and barcode data.
#pragma once

#include <cstdint>
#include <string_view>

#include "print_data/result.h"

namespace print_data {

inline constexpr int32_t kBinaryConversionNone = 0;
inline constexpr int32_t kBinaryConversionNibble = 1;
inline constexpr int32_t kBinaryConversionDecimal = 2;

// Decodes `data` (which ends at its first zero byte, if any) by the BinaryConversion value.
// Nibble: pairs c1 c2 become ((c1 << 4) + (c2 & 0x0F)); the length must be even.
// Decimal: "^" reads as "0", each group of three characters is a decimal number whose low
// eight bits make a byte; the length must be a multiple of three. Any other value leaves the
// bytes as they are. A decoded zero byte ends the result.
// Refusals: kIllegal for a bad length, and for a result over kMaxPrintData bytes.
Encoded DecodeBinaryConversion(std::string_view data, int32_t binary_conversion);

}  // namespace print_data
