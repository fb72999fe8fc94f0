// The service's log: one line per connection and per error, on standard error.
#pragma once

#include <string_view>

namespace oposd {

// Writes "oposd: <line>" as one line; safe from any thread.
void LogLine(std::string_view line);

}  // namespace oposd
