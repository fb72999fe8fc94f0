// The OPOS constants by their standard names (result codes, states, printer stations and
// alignments, status updates of the printer, drawer and display, ...), as one table for the
// ways in from other languages, which publish them under these names.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace opos::control {

struct OposConstant {
  std::string_view name;
  int32_t value;
};

std::span<const OposConstant> OposConstants();

}  // namespace opos::control
