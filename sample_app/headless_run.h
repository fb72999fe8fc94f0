// Runs steps without windows: each step is loaded, its button pressed (when enabled) and
// unloaded, against a logical device name. Every call, event and message box is printed
// as one line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace demotill {

struct HeadlessOptions {
  std::vector<int> steps;
  std::string device_name;
  std::string logo_path;
  int wait_ms = 15000;  // longest wait for an asynchronous print to finish
};

// 0 when every step ran without a failure message or error event, 1 otherwise.
int RunHeadless(const HeadlessOptions& options, FILE* out);

}  // namespace demotill
