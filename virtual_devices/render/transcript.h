// The plain-text account of a receipt: text lines as text, everything else as a marker.
#pragma once

#include <string>

#include "virtual_devices/print_ops.h"

namespace vdev {

// Appends the lines describing `op` (each ending in a newline) to `out`; `line_width` in
// dots decides whether a barcode fits.
void DescribeOp(const PrintOp& op, int line_width, std::string& out);

}  // namespace vdev
