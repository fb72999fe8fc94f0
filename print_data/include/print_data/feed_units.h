// Paper feed by a distance (ESC|nuF): line-spacing steps that together feed it exactly.
#pragma once

#include <cstdint>
#include <string>

#include "print_data/printer_kind.h"

namespace print_data {

// The distance in the printer's line-spacing unit: thermal 2 x dots; dot-matrix
// (dots x 0.3000300030003 + 0.5, truncated) + 15.
int64_t FeedUnitsTotal(int64_t dots, PrinterKind kind);

// Bytes AppendFeedUnits will produce for `dots` (0 for a negative distance).
uint64_t FeedUnitsLength(int64_t dots);

// Up to 50 dots: ESC 3 u, LF, ESC 3 "<" (u at least 1). Above: floor(dots / 50) steps of
// ESC 3 v, LF and a final ESC 3 w, LF, ESC 3 "<", the values spread evenly so that they
// add up to the total, each between 1 and 255. A negative distance feeds nothing.
void AppendFeedUnits(int64_t dots, PrinterKind kind, std::string& out);

}  // namespace print_data
