// Human-readable names of commands for the decoded log.
#pragma once

#include <string>

#include "command_framer.h"

namespace vdev::printer {

// One log line without its end: the command's bytes in hexadecimal (long data cut short),
// its mnemonic with the parameters in decimal, and what it does, e.g.
// "1B 21 08  ESC ! 8  select print mode". A text run reads: 48 69  "Hi"  text.
std::string DescribeCommand(const RawCommand& command);

// Bytes in hexadecimal separated by spaces, at most `limit` of them followed by
// " ... (N bytes)".
std::string HexBytes(const std::vector<uint8_t>& bytes, size_t limit = 16);

}  // namespace vdev::printer
